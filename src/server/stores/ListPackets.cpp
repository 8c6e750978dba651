#include <string>
#include <tuple>
#include <vector>

#include "core/Codec.h"
#include "server/stores/ListStore.h"

namespace krv::server {

void listPacketsToRows(db::Connection& c) {
    // Requisition lists had their rows in requisition_list_item already.
    std::vector<std::tuple<int64_t, std::string, std::string>> lists;
    c.each("SELECT nrlista, tplista, rows FROM server_list WHERE tplista <> 'requisitions'", {},
           [&](const db::ResultRow& row) { lists.emplace_back(row.integer(0), row.text(1), row.blob(2)); });
    for (const auto& [number, kind, bytes] : lists) {
        // A packet's fields were, in order: CDFILIAL, CDSERVFILI (services); CDFILIAL,
        // CDSERVFILI, CDTURNO (shifts); NRREQUIPEDIDO (calculation).
        for (const Row& row : codec::decodePacket(bytes).rows) {
            if (kind == "services")
                c.execute("INSERT INTO service_list_item (nrlista, cdfilial, cdservfili) VALUES (?, ?, ?)",
                          {number, row.at(0).asString(), row.at(1).asString()});
            else if (kind == "shifts")
                c.execute("INSERT INTO shift_list_item (nrlista, cdfilial, cdservfili, cdturno) VALUES (?, ?, ?, ?)",
                          {number, row.at(0).asString(), row.at(1).asString(), row.at(2).asString()});
            else
                c.execute("INSERT INTO calculation_list_item (nrlista, nrrequipedido) VALUES (?, ?)",
                          {number, row.at(0).asInt()});
        }
    }
    c.execute("UPDATE server_list SET rows = ?", {db::Blob{}});
}

}  // namespace krv::server
