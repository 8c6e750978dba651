#pragma once
#include <vector>

#include "core/Variant.h"
#include "rpc/Dispatcher.h"
#include "server/access/Permissions.h"
#include "server/model/Clock.h"
#include "server/storage/Database.h"

namespace krv::server {

// "Host.rdmSessao": what the host asks when it opens a session.
class SessionObject {
public:
    static constexpr const char* kName = "Host.rdmSessao";

    SessionObject(db::Database& database, Clock clock) : database_(database), clock_(std::move(clock)) {}
    void registerOn(rpc::Dispatcher& dispatcher);

    // DataProc(branch): the branch's processing date at midnight. An empty or unknown
    // branch gets today's date, so the host can still open its screens.
    Variant DataProc(const Permissions& permissions, std::vector<Variant>& args);
    // DBPictObj(type): the code picture of that picture type.
    Variant DBPictObj(const Permissions& permissions, std::vector<Variant>& args);
    // GetAcesso(): [role, the branches in scope in code order or "T" for all, and per action
    // the role may not do [its words, the refusal the server would answer]], so the screens
    // can offer only what the operator may use.
    Variant GetAcesso(const Permissions& permissions, std::vector<Variant>& args);

private:
    db::Database& database_;
    Clock clock_;
};

}  // namespace krv::server
