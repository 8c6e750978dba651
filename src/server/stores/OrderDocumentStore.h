#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/DataPacket.h"
#include "server/model/Requests.h"
#include "server/storage/Database.h"
#include "server/stores/OrderReadStore.h"

namespace krv::server {

// Which orders a document shows: never cancelled ones.
struct OrderDocumentFilter {
    OrderViewer viewer;
    std::optional<std::string> kitchen;           // orders for this kitchen
    std::optional<std::string> logisticOperator;  // orders addressed to this operator
    Period period;                                // delivery days
    std::optional<std::vector<int64_t>> orders;   // only these (already checked), when given
};

// The rows of the order documents: KRV521, the order to the logistic operator, and KRV522,
// the operator's pick list. Product codes come through the product code picture.
class OrderDocumentStore {
public:
    explicit OrderDocumentStore(db::Connection& connection) : c_(connection) {}

    // One row per order line, by order and product, each with its order's header.
    DataPacket orderLines(const OrderDocumentFilter& filter);
    // One row per order line, by day, product, kitchen and order, each with the product's
    // total of its day to pick and that total's packages (DSSEPARAR, DSEMBALAGENS: as the
    // page shows them).
    DataPacket pickLines(const OrderDocumentFilter& filter);

private:
    db::Connection& c_;
};

}  // namespace krv::server
