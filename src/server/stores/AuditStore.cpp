#include "server/stores/AuditStore.h"

#include <algorithm>
#include <tuple>

namespace krv::server {

namespace {

// One arm per kind of record: moment, operator, action, branch and how many rows.
constexpr const char* kAudit =
    "SELECT dtlancamento, cdoperador, 'calculou requisições', cdfilial, count(*) FROM requisition"
    " WHERE dtlancamento >= ? AND dtlancamento < ? GROUP BY dtlancamento, cdoperador, cdfilial"
    " UNION ALL SELECT dtlancamento, cdoperador, 'calculou a previsão de consumo', cdfiliopelog, count(*)"
    " FROM consumption_forecast WHERE dtlancamento >= ? AND dtlancamento < ?"
    " GROUP BY dtlancamento, cdoperador, cdfiliopelog"
    " UNION ALL SELECT dtlancamento, cdoperador, 'gerou pedidos', cdfilial, count(*) FROM purchase_order"
    " WHERE dtlancamento >= ? AND dtlancamento < ? GROUP BY dtlancamento, cdoperador, cdfilial"
    " UNION ALL SELECT c.dtcancelamento, c.cdoperador, 'cancelou pedidos', o.cdfilial, count(*)"
    " FROM purchase_order_cancellation c JOIN purchase_order o ON o.nrpedexol = c.nrpedexol"
    " WHERE c.dtcancelamento >= ? AND c.dtcancelamento < ? GROUP BY c.dtcancelamento, c.cdoperador, o.cdfilial"
    " UNION ALL SELECT e.dtenvio, e.cdoperador, 'enviou pedidos', o.cdfilial, count(*)"
    " FROM purchase_order_shipment e JOIN purchase_order o ON o.nrpedexol = e.nrpedexol"
    " WHERE e.dtenvio >= ? AND e.dtenvio < ? GROUP BY e.dtenvio, e.cdoperador, o.cdfilial";

}  // namespace

std::vector<AuditStore::Entry> AuditStore::between(DateTime firstDay, DateTime lastDay) {
    const db::Timestamp from{firstDay.date()}, until{lastDay.date().addDays(1)};
    std::vector<Entry> entries;
    c_.each(kAudit, {from, until, from, until, from, until, from, until, from, until}, [&](const db::ResultRow& row) {
        entries.push_back({row.dateTime(0), row.text(1), row.text(2), row.text(3), row.integer(4)});
    });
    // Sorted here: the engines' collations would order the names differently.
    std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
        return std::tie(a.moment, a.operatorName, a.action, a.branch) <
               std::tie(b.moment, b.operatorName, b.action, b.branch);
    });
    return entries;
}

}  // namespace krv::server
