#include "server/Application.h"

#include "server/Backup.h"
#include "server/seed/DemoSeed.h"
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
    if (options.seedDemo)
        seededNow_ = options.demoSize ? seedDemo(connection, now.date(), *options.demoSize)
                                      : seedDemo(connection, now.date());
    if (seededNow_)
        OperatorStore(connection).save(kDemoOperator, hashPassword(kDemoPassword, options.passwordCost), true, now);
    session_.registerOn(dispatcher_);
    pedReq_.registerOn(dispatcher_);
    report_.registerOn(dispatcher_);
}

}  // namespace krv::server
