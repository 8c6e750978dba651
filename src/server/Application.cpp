#include "server/Application.h"

#include "server/DemoSeed.h"
#include "server/Schema.h"
#include "server/ServerLists.h"

namespace krv::server {

Application::Application(ApplicationOptions options)
    : storage_(options.databasePath), session_(storage_, options.clock), pedReq_(storage_) {
    Connection& connection = storage_.connection();
    migrate(connection);
    const DateTime now = options.clock();
    purgeStaleLists(connection, now);
    if (options.seedDemo) seededNow_ = seedDemo(connection, now.date());
    session_.registerOn(dispatcher_);
    pedReq_.registerOn(dispatcher_);
}

}  // namespace krv::server
