#pragma once
#include <cstdint>
#include <mutex>
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
    bool wholeSelection = false;  // made from "Todos": stands for every row of its kind
};

// The server-held lists: selections and results handed to a client as a list number,
// kept in the database so that any server process sharing it can answer for them. A
// list's rows are a packet whose fields its kind defines.
class ListStore {
public:
    // A screen may stay open over a long weekend; a list nobody used for this long
    // belongs to a screen that is gone.
    static constexpr int kIdleDays = 7;

    explicit ListStore(db::Connection& connection) : c_(connection) {}

    // The list, its use dated `now` (at most hourly, so reads seldom write).
    std::optional<StoredList> find(int64_t number, DateTime now);

    // Stores a new list and returns its number. The list it renews goes with it, but only
    // when it is of the same kind: a client that mixes up its numbers must not delete
    // another kind of list.
    int64_t replace(ListKind kind, const DataPacket& rows, std::optional<int64_t> renewed, DateTime now,
                    bool wholeSelection = false);

    // Deletes these lists, each only when it is of its kind; numbers already gone are no error.
    void remove(const std::vector<std::pair<int64_t, ListKind>>& lists);

    // Lists a client forgot to delete (a crashed screen, a lost connection) would pile up.
    // Returns how many went.
    int64_t purgeStale(DateTime now);

private:
    db::Connection& c_;
};

// Runs the purge of stale lists at most once an hour per server process, in a transaction
// of its own: run inside every list write, its scan of the whole table made all list
// writers of a PostgreSQL database conflict with each other.
class StaleListPurge {
public:
    void runIfDue(db::Connection& connection, DateTime now);

private:
    std::mutex mutex_;
    std::optional<DateTime> last_;
};

}  // namespace krv::server
