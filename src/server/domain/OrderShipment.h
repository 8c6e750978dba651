#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "core/DateTime.h"
#include "server/storage/Database.h"
#include "server/stores/OrderReadStore.h"

namespace krv::server {

// "Pedido N já foi enviado ao operador logístico em dd/mm/aaaa.": why a sent order is
// neither cancelled nor sent again.
std::string alreadySent(int64_t order, DateTime on);

// The state of an order the viewer sees; refuses one that does not exist or that the viewer
// does not see, alike, so that nobody learns which numbers others hold.
// "Pedido N já foi recebido em dd/mm/aaaa.": a received order is neither cancelled, sent
// nor received again.
std::string alreadyReceived(int64_t order, DateTime on);

OrderState requireOrder(db::Connection& connection, int64_t order, const OrderViewer& viewer);

struct ShipmentRequest {
    std::vector<int64_t> orders;
    std::string operatorCode;  // who marks them sent
    OrderViewer viewer;        // whose orders may be marked
    DateTime now;
};

// Marks the orders sent to their logistic operators, with who and when, in one transaction
// (joining the caller's when there is one). Refuses by number, changing nothing, an order
// that does not exist (or the viewer does not see), is cancelled or was sent already.
// Returns how many were marked.
int64_t markOrdersSent(db::Connection& connection, const ShipmentRequest& request);

}  // namespace krv::server
