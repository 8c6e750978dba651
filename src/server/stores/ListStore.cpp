#include "server/stores/ListStore.h"

#include <map>
#include <stdexcept>
#include <string_view>

#include "server/storage/SqlBuilder.h"

namespace krv::server {

namespace {

struct KindNames {
    ListKind kind;
    const char* stored;  // the value of tplista
    const char* spoken;
    const char* items;  // the table of its rows
};

constexpr KindNames kKinds[] = {{ListKind::Services, "services", "serviços", "service_list_item"},
                                {ListKind::Shifts, "shifts", "turnos", "shift_list_item"},
                                {ListKind::Calculation, "calculation", "cálculo", "calculation_list_item"},
                                {ListKind::Requisitions, "requisitions", "requisições", "requisition_list_item"}};

const KindNames& namesOf(ListKind kind) {
    for (const KindNames& names : kKinds)
        if (names.kind == kind) return names;
    throw std::logic_error("Tipo de lista desconhecido.");
}

ListKind kindStored(const std::string& stored) {
    for (const KindNames& names : kKinds)
        if (stored == names.stored) return names.kind;
    throw std::runtime_error("Tipo de lista desconhecido no banco de dados: " + stored);
}

// A use refreshes a list's date at most this often, and the purge runs at most this often.
constexpr int64_t kHourSeconds = 3600;

DateTime secondsBefore(DateTime t, int64_t seconds) { return DateTime{t.seconds - seconds, t.nanoseconds}; }

// "INSERT INTO <items of its kind> (columns) VALUES (…), …" of the list `number`, `bind`
// giving the values after the number of each item, a chunk at a time.
template <class T, class Bind>
void insertItems(db::Connection& c, ListKind kind, const char* columns, int64_t number, const std::vector<T>& items,
                 Bind bind) {
    db::inChunks(items, [&](const std::vector<T>& chunk) {
        db::Sql sql;
        sql(std::string("INSERT INTO ") + namesOf(kind).items + " (nrlista, " + columns + ") VALUES ")
            .rows(chunk, [&](const T& item) {
                db::Params values{number};
                for (db::Param& value : bind(item)) values.push_back(std::move(value));
                return values;
            });
        c.execute(sql.text(), sql.params());
    });
}

// Deletes the lists that `removing` (a DELETE FROM server_list … RETURNING nrlista, tplista)
// removes, and their items: no foreign key takes the items along. The headers go first, so
// that a list used meanwhile either stays whole or goes whole. Returns how many went.
int64_t removeLists(db::Connection& c, std::string_view removing, const db::Params& params) {
    std::map<ListKind, std::vector<int64_t>> gone;
    int64_t count = 0;
    c.each(removing, params, [&](const db::ResultRow& row) {
        gone[kindStored(row.text(1))].push_back(row.integer(0));
        ++count;
    });
    for (const auto& [kind, numbers] : gone)
        db::inChunks(numbers, [&, kind = kind](const std::vector<int64_t>& chunk) {
            db::Sql sql;
            sql(std::string("DELETE FROM ") + namesOf(kind).items + " WHERE nrlista IN ").in(chunk);
            c.execute(sql.text(), sql.params());
        });
    return count;
}

}  // namespace

const char* listKindName(ListKind kind) { return namesOf(kind).spoken; }

std::optional<StoredList> ListStore::find(int64_t number, DateTime now) {
    std::optional<StoredList> found;
    std::optional<DateTime> used;
    c_.each("SELECT tplista, idtodos, dtuso FROM server_list WHERE nrlista = ? AND cdoperador = ?", {number, owner_},
            [&](const db::ResultRow& row) {
                found = StoredList{kindStored(row.text(0)), row.text(1) == "S"};
                used = row.dateTime(2);
            });
    if (!found || *used >= secondsBefore(now, kHourSeconds)) return found;
    // Reads come here too, and must not wait behind another writer for this bookkeeping: a
    // busy database skips it, and the list's next use renews it (there are days to spare).
    try {
        c_.write(
            [&](db::Connection& c) {
                c.execute("UPDATE server_list SET dtuso = ? WHERE nrlista = ?", {db::Timestamp{now}, number});
            },
            db::WriteKind::IfFree);
    } catch (const db::Conflict&) {
    }
    return found;
}

template <class AddRows>
int64_t ListStore::store(ListKind kind, bool wholeSelection, std::optional<int64_t> renewed, DateTime now,
                         AddRows addRows) {
    const char* stored = namesOf(kind).stored;
    return c_.write(
        [&](db::Connection& c) {
            if (renewed) removeOwn(c, *renewed, stored);
            // rows held the list as a packet before its rows had tables; it stays, empty.
            const auto number = c.integer(
                "INSERT INTO server_list (tplista, rows, idtodos, cdoperador, dtcriacao, dtuso)"
                " VALUES (?, ?, ?, ?, ?, ?) RETURNING nrlista",
                {stored, db::Blob{}, wholeSelection ? "S" : "N", owner_, db::Timestamp{now}, db::Timestamp{now}});
            if (!number) throw std::runtime_error("O banco de dados não devolveu o número da lista criada.");
            addRows(c, *number);
            return *number;
        },
        db::WriteKind::Independent);
}

int64_t ListStore::storeServices(const std::string& branch, const std::vector<std::string>& services,
                                 std::optional<int64_t> renewed, DateTime now) {
    return store(ListKind::Services, false, renewed, now, [&](db::Connection& c, int64_t number) {
        insertItems(c, ListKind::Services, "cdfilial, cdservfili", number, services, [&](const std::string& service) {
            return db::Params{branch, service};
        });
    });
}

int64_t ListStore::storeShifts(const std::vector<ShiftKey>& shifts, bool wholeSelection, std::optional<int64_t> renewed,
                               DateTime now) {
    return store(ListKind::Shifts, wholeSelection, renewed, now, [&](db::Connection& c, int64_t number) {
        insertItems(c, ListKind::Shifts, "cdfilial, cdservfili, cdturno", number, shifts, [](const ShiftKey& s) {
            return db::Params{std::get<0>(s), std::get<1>(s), std::get<2>(s)};
        });
    });
}

int64_t ListStore::storeRequisitions(ListKind kind, const std::vector<int64_t>& requisitions,
                                     std::optional<int64_t> renewed, DateTime now) {
    return store(kind, false, renewed, now, [&](db::Connection& c, int64_t number) {
        insertItems(c, kind, "nrrequipedido", number, requisitions,
                    [](int64_t requisition) { return db::Params{requisition}; });
    });
}

std::optional<std::string> ListStore::branchOf(int64_t serviceList) {
    return c_.text("SELECT min(cdfilial) FROM service_list_item WHERE nrlista = ?", {serviceList});
}

bool ListStore::holdsOtherBranches(int64_t number, const std::string& branch) {
    return c_
        .integer(
            "SELECT 1 FROM service_list_item WHERE nrlista = ? AND cdfilial <> ?"
            " UNION ALL SELECT 1 FROM shift_list_item WHERE nrlista = ? AND cdfilial <> ?",
            {number, branch, number, branch})
        .has_value();
}

void ListStore::remove(const std::vector<std::pair<int64_t, ListKind>>& lists) {
    c_.write(
        [&](db::Connection& c) {
            for (const auto& [number, kind] : lists) removeOwn(c, number, namesOf(kind).stored);
        },
        db::WriteKind::Independent);
}

void ListStore::removeOwn(db::Connection& c, int64_t number, const char* stored) {
    removeLists(
        c, "DELETE FROM server_list WHERE nrlista = ? AND tplista = ? AND cdoperador = ? RETURNING nrlista, tplista",
        {number, stored, owner_});
}

int64_t purgeStaleLists(db::Connection& connection, DateTime now) {
    return connection.write(
        [&](db::Connection& c) {
            return removeLists(c, "DELETE FROM server_list WHERE dtuso < ? RETURNING nrlista, tplista",
                               {db::Timestamp{now.addDays(-ListStore::kIdleDays)}});
        },
        db::WriteKind::Independent);
}

void StaleListPurge::runIfDue(db::Connection& connection, DateTime now) {
    {
        std::lock_guard lock(mutex_);
        if (last_ && *last_ <= now && secondsBefore(now, kHourSeconds) < *last_) return;
        last_ = now;
    }
    try {
        purgeStaleLists(connection, now);
    } catch (const std::exception&) {
        // Housekeeping: a purge that lost to busy writers runs again within the hour.
    }
}

}  // namespace krv::server
