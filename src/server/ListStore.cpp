#include "server/ListStore.h"

namespace krv::server {

int64_t ListStore::purgeStale(DateTime now) {
    return c_.write([&](db::Connection& c) {
        return c.execute("DELETE FROM server_list WHERE dtcriacao < ?", {db::Timestamp{now.addDays(-1)}});
    });
}

}  // namespace krv::server
