#include "server/service/Application.h"

#include "server/seed/DemoSeed.h"
#include "server/service/Backup.h"
#include "server/stores/ListStore.h"
#include "server/stores/OperatorStore.h"
#include "server/stores/Schema.h"

namespace krv::server {

Application::Application(ApplicationOptions options)
    : database_(db::openDatabase(options.database)),
      session_(*database_, options.clock),
      pedReq_(*database_, options.clock),
      report_(*database_, options.clock) {
    db::Connection& connection = database_->connection();
    backupBeforeMigration(options.database, options.log);
    migrate(connection);
    const DateTime now = options.clock();
    purgeStaleLists(connection, now);
    // The company and its operator in one transaction: a second server starting meanwhile
    // either seeds nothing and finds both, or waits for them.
    if (options.seedDemo)
        connection.write(
            [&](db::Connection& c) {
                seededNow_ = options.demoSize ? seedDemo(c, now.date(), *options.demoSize) : seedDemo(c, now.date());
                if (seededNow_)
                    OperatorStore(c).save(kDemoOperator, hashPassword(kDemoPassword, options.passwordCost), true, now);
            },
            db::WriteKind::Exclusive);
    session_.registerOn(dispatcher_);
    pedReq_.registerOn(dispatcher_);
    report_.registerOn(dispatcher_);
}

}  // namespace krv::server
