#pragma once
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "rpc/Dispatcher.h"
#include "server/model/Clock.h"
#include "server/objects/PedReqObject.h"
#include "server/objects/ReportObject.h"
#include "server/objects/SessionObject.h"
#include "server/seed/DemoSeed.h"
#include "server/storage/Database.h"
#include "server/stores/OperatorStore.h"

namespace krv::server {

struct ApplicationOptions {
    std::string database;   // an SQLite file's path or a postgresql:// URL
    bool seedDemo = false;  // create the demo company when the database has no branch
    Clock clock = localNow;
    // Of the demo operator's password hash; tests full of logins take the cheapest.
    HashCost passwordCost = HashCost::Interactive;
    std::optional<DemoSize> demoSize;  // with seedDemo: the large company of this size instead
    // Told where the copy of an SQLite database went before it was migrated to a newer schema.
    std::function<void(const std::string&)> log;
};

// The server without its transport: opens and migrates the database, purges stale lists,
// seeds on request and registers every remote object. krv-server, the tests and the
// benchmarks all start from here.
class Application {
public:
    explicit Application(ApplicationOptions options);
    Application(const Application&) = delete;
    Application& operator=(const Application&) = delete;

    db::Database& database() { return *database_; }
    const rpc::Dispatcher& dispatcher() const { return dispatcher_; }
    bool seededNow() const { return seededNow_; }  // this start created the demo data

private:
    std::unique_ptr<db::Database> database_;
    SessionObject session_;
    PedReqObject pedReq_;
    ReportObject report_;
    rpc::Dispatcher dispatcher_;
    bool seededNow_ = false;
};

}  // namespace krv::server
