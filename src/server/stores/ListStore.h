#pragma once
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "core/DateTime.h"
#include "server/storage/Database.h"

namespace krv::server {

enum class ListKind { Services, Shifts, Calculation, Requisitions };

// "serviços", "turnos", …: how a message names the kind ("lista de serviços").
const char* listKindName(ListKind kind);

struct StoredList {
    ListKind kind;
    bool wholeSelection = false;  // made from "Todos": stands for every row of its kind
};

// (CDFILIAL, CDSERVFILI, CDTURNO) of a shift list.
using ShiftKey = std::tuple<std::string, std::string, std::string>;

// The server-held lists of one operator (its owner): selections and results handed to a
// client as a list number, kept in the database so that any server process sharing it can
// answer for them. Another operator's list is as good as missing: finding, renewing and
// deleting see only the owner's. A list's rows live in the table of its kind
// (service_list_item, shift_list_item, calculation_list_item, requisition_list_item), so
// the stores join them once the list was found. They have no foreign key to their list:
// whatever removes a list must remove them too, as this class does.
class ListStore {
public:
    // A screen may stay open over a long weekend; a list nobody used for this long
    // belongs to a screen that is gone.
    static constexpr int kIdleDays = 7;

    // `owner` is the operator of the calling session; empty for a session with the shared
    // token, whose lists the token sessions share.
    ListStore(db::Connection& connection, std::string owner) : c_(connection), owner_(std::move(owner)) {}

    // The owner's list, its use dated `now` (at most hourly, so reads seldom write).
    std::optional<StoredList> find(int64_t number, DateTime now);

    // Each stores a new list and returns its number. The list it renews goes with it, but
    // only when it is of the same kind: a client that mixes up its numbers must not delete
    // another kind of list.
    int64_t storeServices(const std::string& branch, const std::vector<std::string>& services,
                          std::optional<int64_t> renewed, DateTime now);
    int64_t storeShifts(const std::vector<ShiftKey>& shifts, bool wholeSelection, std::optional<int64_t> renewed,
                        DateTime now);
    // A calculation list (the requisitions written) or a requisition list (those to order).
    int64_t storeRequisitions(ListKind kind, const std::vector<int64_t>& requisitions, std::optional<int64_t> renewed,
                              DateTime now);

    // The branch of a service list's rows; nullopt for an empty list.
    std::optional<std::string> branchOf(int64_t serviceList);
    // Whether a service or shift list holds rows of another branch than this one.
    bool holdsOtherBranches(int64_t number, const std::string& branch);

    // Deletes these lists of the owner, each only when it is of its kind; numbers already
    // gone are no error.
    void remove(const std::vector<std::pair<int64_t, ListKind>>& lists);

private:
    // The list's header in server_list; `addRows` writes its rows in the same transaction.
    template <class AddRows>
    int64_t store(ListKind kind, bool wholeSelection, std::optional<int64_t> renewed, DateTime now, AddRows addRows);
    // The owner's list `number` of the stored kind, inside the caller's transaction.
    void removeOwn(db::Connection& c, int64_t number, const char* stored);

    db::Connection& c_;
    std::string owner_;
};

// Lists a client forgot to delete (a crashed screen, a lost connection) would pile up, whoever
// made them. Returns how many went.
int64_t purgeStaleLists(db::Connection& connection, DateTime now);

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

// Version 5 of the schema: the rows of the lists stored before it, packets in
// server_list.rows, written into the tables of their kinds.
void listPacketsToRows(db::Connection& connection);

}  // namespace krv::server
