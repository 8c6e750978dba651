#pragma once
#include "core/DateTime.h"
#include "server/storage/Database.h"

namespace krv::server {

// The server-held lists: selections and results handed to a client as a list number,
// kept in the database so that any server process sharing it can answer for them.
class ListStore {
public:
    explicit ListStore(db::Connection& connection) : c_(connection) {}

    // Lists a client forgot to delete (a crashed screen, a lost connection) would pile
    // up; anything older than a day cannot belong to a live screen any more. Returns how
    // many went.
    int64_t purgeStale(DateTime now);

private:
    db::Connection& c_;
};

}  // namespace krv::server
