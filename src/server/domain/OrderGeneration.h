#pragma once
#include <cstdint>
#include <functional>
#include <vector>

#include "core/Variant.h"
#include "server/model/Requests.h"
#include "server/storage/Database.h"

namespace krv::server {

// The message of a generation over a list whose requisitions all have an order by now.
inline constexpr const char* kNothingPending = "Nenhuma requisição pendente na lista.";

// The rows of the order screen's packet that the user marked and that had no order when
// the list was loaded, each number once. Refuses a packet that is not the requisition
// list, one with nothing to order, and a marked row that is no requisition of its branch
// and day here: a client must not get another branch's requisitions ordered by number.
std::vector<ListedRequisition> requisitionsToList(db::Connection& connection, const Variant& packet);

// Orders the listed requisitions of the period that are still open, in one transaction:
// one purchase order per supplier, day, branch, service and (per shift) shift, its items
// summed by product, its number written into each of its requisitions. Returns the orders
// it created; refuses with kNothingPending when no listed requisition is open, and, when
// the list was previewed, refuses when the preview would differ now (see OrderPreview.h).
// `midway`, when given, runs after the orders are written and before the requisitions
// point at them: a failure there must leave nothing behind.
struct GeneratedOrders {
    int64_t count = 0;
    int64_t first = 0;  // numbers first to last, with no gap
    int64_t last = 0;
    int64_t metFromStock = 0;  // netted: requisitions whose needs stock met whole, left with no order
};
GeneratedOrders generateOrders(db::Connection& connection, const OrderRequest& request,
                               const std::function<void()>& midway = {});

}  // namespace krv::server
