#include "server/ListStore.h"

#include <stdexcept>

#include "core/Codec.h"

namespace krv::server {

namespace {

struct KindNames {
    ListKind kind;
    const char* stored;  // the value of tplista
    const char* spoken;
};

constexpr KindNames kKinds[] = {{ListKind::Services, "services", "serviços"},
                                {ListKind::Shifts, "shifts", "turnos"},
                                {ListKind::Calculation, "calculation", "cálculo"},
                                {ListKind::Requisitions, "requisitions", "requisições"}};

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

}  // namespace

const char* listKindName(ListKind kind) { return namesOf(kind).spoken; }

std::optional<StoredList> ListStore::find(int64_t number, DateTime now) {
    std::optional<StoredList> found;
    std::optional<DateTime> used;
    c_.each("SELECT tplista, rows, idtodos, dtuso FROM server_list WHERE nrlista = ?", {number},
            [&](const db::ResultRow& row) {
                found = StoredList{kindStored(row.text(0)), codec::decodePacket(row.blob(1)), row.text(2) == "S"};
                used = row.dateTime(3);
            });
    if (found && *used < secondsBefore(now, kHourSeconds))
        c_.write(
            [&](db::Connection& c) {
                c.execute("UPDATE server_list SET dtuso = ? WHERE nrlista = ?", {db::Timestamp{now}, number});
            },
            db::WriteKind::Independent);
    return found;
}

int64_t ListStore::replace(ListKind kind, const DataPacket& rows, std::optional<int64_t> renewed, DateTime now,
                           bool wholeSelection) {
    const std::string bytes = codec::encodePacket(rows);
    const char* stored = namesOf(kind).stored;
    return c_.write(
        [&](db::Connection& c) {
            if (renewed) c.execute("DELETE FROM server_list WHERE nrlista = ? AND tplista = ?", {*renewed, stored});
            const auto number = c.integer(
                "INSERT INTO server_list (tplista, rows, idtodos, dtcriacao, dtuso) VALUES (?, ?, ?, ?, ?)"
                " RETURNING nrlista",
                {stored, db::Blob{bytes}, wholeSelection ? "S" : "N", db::Timestamp{now}, db::Timestamp{now}});
            if (!number) throw std::runtime_error("O banco de dados não devolveu o número da lista criada.");
            return *number;
        },
        db::WriteKind::Independent);
}

void ListStore::remove(const std::vector<std::pair<int64_t, ListKind>>& lists) {
    c_.write(
        [&](db::Connection& c) {
            for (const auto& [number, kind] : lists)
                c.execute("DELETE FROM server_list WHERE nrlista = ? AND tplista = ?", {number, namesOf(kind).stored});
        },
        db::WriteKind::Independent);
}

int64_t ListStore::purgeStale(DateTime now) {
    return c_.write(
        [&](db::Connection& c) {
            return c.execute("DELETE FROM server_list WHERE dtuso < ?", {db::Timestamp{now.addDays(-kIdleDays)}});
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
        ListStore(connection).purgeStale(now);
    } catch (const std::exception&) {
        // Housekeeping: a purge that lost to busy writers runs again within the hour.
    }
}

}  // namespace krv::server
