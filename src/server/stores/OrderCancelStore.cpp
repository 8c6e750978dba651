#include "server/stores/OrderCancelStore.h"

#include <algorithm>
#include <functional>

#include "server/storage/SqlBuilder.h"

namespace krv::server {

namespace {

// Calls `run` with each slice of `orders` as "(?, ?, …)" and the values that bind it.
void inChunks(const std::vector<int64_t>& orders,
              const std::function<void(const std::string& marks, db::Params slice)>& run) {
    db::inChunks(orders, [&](const std::vector<int64_t>& slice) {
        db::Sql marks;
        marks.in(slice);
        run(marks.text(), marks.params());
    });
}

}  // namespace

std::map<int64_t, OrderCancelStore::State> OrderCancelStore::states(const std::vector<int64_t>& orders,
                                                                    const std::string& branch,
                                                                    const std::string& generatedBy) {
    std::map<int64_t, State> found;
    inChunks(orders, [&](const std::string& marks, db::Params slice) {
        db::Params params{branch, branch, generatedBy};
        params.insert(params.end(), slice.begin(), slice.end());
        c_.each(
            "SELECT o.nrpedexol, CASE WHEN x.nrpedexol IS NULL THEN 0 ELSE 1 END,"
            " CASE WHEN o.cdfilial = ? OR EXISTS (SELECT 1 FROM requisition r"
            " WHERE r.nrpedexol = o.nrpedexol AND r.cdfilial = ?) THEN 1 ELSE 0 END, e.dtenvio, rc.dtrecebimento"
            " FROM purchase_order o LEFT JOIN purchase_order_cancellation x ON x.nrpedexol = o.nrpedexol"
            " LEFT JOIN purchase_order_shipment e ON e.nrpedexol = o.nrpedexol"
            " LEFT JOIN purchase_order_receipt rc ON rc.nrpedexol = o.nrpedexol"
            " WHERE o.cdoperador = ? AND o.nrpedexol IN " +
                marks,
            params, [&](const db::ResultRow& row) {
                found[row.integer(0)] = {row.integer(1) == 1, row.integer(2) == 1,
                                         row.isNull(3) ? std::nullopt : std::optional(row.dateTime(3)),
                                         row.isNull(4) ? std::nullopt : std::optional(row.dateTime(4))};
            });
    });
    return found;
}

std::vector<std::string> OrderCancelStore::kitchens(const std::vector<int64_t>& orders) {
    std::vector<std::string> found;
    inChunks(orders, [&](const std::string& marks, db::Params slice) {
        db::Params params = slice;
        params.insert(params.end(), slice.begin(), slice.end());
        c_.each("SELECT cdfilial FROM purchase_order WHERE nrpedexol IN " + marks +
                    " UNION SELECT cdfilial FROM requisition WHERE nrpedexol IN " + marks,
                params, [&](const db::ResultRow& row) { found.push_back(row.text(0)); });
    });
    return found;
}

void OrderCancelStore::markCancelled(const std::vector<int64_t>& orders, const std::string& operatorCode,
                                     DateTime now) {
    inChunks(orders, [&](const std::string& marks, db::Params slice) {
        db::Params params{operatorCode, db::Timestamp{now}};
        params.insert(params.end(), slice.begin(), slice.end());
        c_.execute(
            "INSERT INTO purchase_order_cancellation (nrpedexol, cdoperador, dtcancelamento)"
            " SELECT nrpedexol, ?, ? FROM purchase_order WHERE nrpedexol IN " +
                marks,
            params);
    });
}

int64_t OrderCancelStore::freeRequisitions(const std::vector<int64_t>& orders) {
    int64_t freed = 0;
    inChunks(orders, [&](const std::string& marks, db::Params slice) {
        freed += c_.execute("UPDATE requisition SET nrpedexol = NULL WHERE nrpedexol IN " + marks, slice);
    });
    return freed;
}

}  // namespace krv::server
