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

}  // namespace

const char* listKindName(ListKind kind) { return namesOf(kind).spoken; }

std::optional<StoredList> ListStore::find(int64_t number) {
    std::optional<StoredList> found;
    c_.each("SELECT tplista, rows FROM server_list WHERE nrlista = ?", {number}, [&](const db::ResultRow& row) {
        found = StoredList{kindStored(row.text(0)), codec::decodePacket(row.blob(1))};
    });
    return found;
}

int64_t ListStore::replace(ListKind kind, const DataPacket& rows, std::optional<int64_t> renewed, DateTime now) {
    const std::string bytes = codec::encodePacket(rows);
    const char* stored = namesOf(kind).stored;
    return c_.write([&](db::Connection& c) {
        ListStore(c).purgeStale(now);
        if (renewed) c.execute("DELETE FROM server_list WHERE nrlista = ? AND tplista = ?", {*renewed, stored});
        const auto number =
            c.integer("INSERT INTO server_list (tplista, rows, dtcriacao) VALUES (?, ?, ?) RETURNING nrlista",
                      {stored, db::Blob{bytes}, db::Timestamp{now}});
        if (!number) throw std::runtime_error("O banco de dados não devolveu o número da lista criada.");
        return *number;
    });
}

void ListStore::remove(const std::vector<std::pair<int64_t, ListKind>>& lists) {
    c_.write([&](db::Connection& c) {
        for (const auto& [number, kind] : lists)
            c.execute("DELETE FROM server_list WHERE nrlista = ? AND tplista = ?", {number, namesOf(kind).stored});
    });
}

int64_t ListStore::purgeStale(DateTime now) {
    return c_.write([&](db::Connection& c) {
        return c.execute("DELETE FROM server_list WHERE dtcriacao < ?", {db::Timestamp{now.addDays(-1)}});
    });
}

}  // namespace krv::server
