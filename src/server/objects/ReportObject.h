#pragma once
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "core/Variant.h"
#include "rpc/Dispatcher.h"
#include "server/access/Permissions.h"
#include "server/model/Clock.h"
#include "server/storage/Database.h"

namespace krv::server {

// "Host.rdmRelatorio": the rows of a report. The client names the report by its code and
// sends the query parameters its definition lists; the query itself lives here, so no
// client ever sends SQL. Every parameter is checked before anything is read.
class ReportObject {
public:
    static constexpr const char* kName = "Host.rdmRelatorio";

    ReportObject(db::Database& database, Clock clock);
    void registerOn(rpc::Dispatcher& dispatcher);

    // GetDados(code, params): `params` is an array of [name, value] pairs. Answers the
    // report's rows as a packet; an unknown code, a missing, unknown or invalid parameter
    // is refused with a text that names it. The lists a report names are the caller's, and
    // so must be the role that may read it and the branches it names.
    Variant GetDados(const rpc::Caller& caller, std::vector<Variant>& args);

private:
    using Params = std::map<std::string, Variant>;  // upper-case name -> value
    struct Report {
        std::vector<std::string> params;  // every one required
        // Accepted when sent: parameters added since, which definitions kept in a reports
        // folder from before do not list.
        std::vector<std::string> optional;
        Action action;  // what the caller's role must allow
        // `listOwner`: the lists the parameters name are this operator's; `permissions`: the
        // branches it may name.
        std::function<Variant(db::Connection&, const Params&, const std::string& listOwner,
                              const Permissions& permissions, DateTime now)>
            query;
    };

    db::Database& database_;
    Clock clock_;
    std::map<std::string, Report> reports_;  // by report code
};

}  // namespace krv::server
