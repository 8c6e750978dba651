#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/DataPacket.h"
#include "core/DateTime.h"
#include "server/storage/Database.h"

namespace krv::server {

enum class ListKind { Services, Shifts, Calculation, Requisitions };

// "serviços", "turnos", …: how a message names the kind ("lista de serviços").
const char* listKindName(ListKind kind);

struct StoredList {
    ListKind kind;
    DataPacket packet;
};

// The server-held lists: selections and results handed to a client as a list number,
// kept in the database so that any server process sharing it can answer for them. A
// list's rows are a packet whose fields its kind defines.
class ListStore {
public:
    explicit ListStore(db::Connection& connection) : c_(connection) {}

    std::optional<StoredList> find(int64_t number);

    // Stores a new list and returns its number. The list it renews goes with it, but only
    // when it is of the same kind: a client that mixes up its numbers must not delete
    // another kind of list. Stale lists are purged on the way.
    int64_t replace(ListKind kind, const DataPacket& rows, std::optional<int64_t> renewed, DateTime now);

    // Deletes these lists, each only when it is of its kind; numbers already gone are no error.
    void remove(const std::vector<std::pair<int64_t, ListKind>>& lists);

    // Lists a client forgot to delete (a crashed screen, a lost connection) would pile
    // up; anything older than a day cannot belong to a live screen any more. Returns how
    // many went.
    int64_t purgeStale(DateTime now);

private:
    db::Connection& c_;
};

}  // namespace krv::server
