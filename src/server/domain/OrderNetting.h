#pragma once
#include <cstdint>
#include <vector>

#include "server/model/Requests.h"
#include "server/storage/Database.h"
#include "server/stores/OrderStore.h"

namespace krv::server {

// The orders of a request netted of what its kitchens hold: each group's lines met first from
// the ledger (last count, receipts, orders on their way, minus consumption and what passed its
// shelf life), the rest bought in whole packages whose surplus is held for the next days. A
// kitchen is the branch an order goes to, where its goods arrive.
struct NettedOrders {
    std::vector<OrderStore::Group> groups;  // every group of the request, by sequence
    // Only the lines that buy something, by group sequence and product; `order` is the sequence.
    std::vector<OrderStore::Line> lines;
    int64_t roundedRequisitions = 0;  // listed requisitions already rounded to packages by their calculation
};
NettedOrders netOrders(db::Connection& connection, const OrderRequest& request);

// Numbers the groups that buy something `after` + 1, `after` + 2, … in sequence order, gives
// the lines those numbers, and returns them with their groups. The other groups get no order.
std::vector<std::pair<int64_t, const OrderStore::Group*>> numberBuyingOrders(NettedOrders& netted, int64_t after);

}  // namespace krv::server
