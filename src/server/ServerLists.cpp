#include "server/ServerLists.h"

#include "server/Storage.h"

namespace krv::server {

int purgeStaleLists(Connection& connection, DateTime now) {
    return connection.write([&](Connection& c) {
        auto purge = c.statement("DELETE FROM server_list WHERE dtcriacao < datetime(?)");
        purge->bind(1, now.addDays(-1).toIso());
        return purge->exec();
    });
}

}  // namespace krv::server
