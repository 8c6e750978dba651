#pragma once
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "core/DataPacket.h"
#include "core/DateTime.h"
#include "server/storage/Database.h"
#include "server/stores/OrderReadStore.h"
#include "server/stores/StockStore.h"

namespace krv::server {

// The most a line may be received as, in times what it ordered: more is a typing slip.
inline constexpr double kMostReceivedTimesOrdered = 10;

struct ReceiptRequest {
    std::vector<int64_t> orders;
    DateTime day;  // received on
    // One order received line by line: product → quantity; the lines left out as ordered.
    std::map<std::string, double> lines;
    std::string operatorCode;
    OrderViewer viewer;  // whose orders may be received
    DateTime now;
};

// Receives the orders, in one transaction; refuses by number, changing nothing, an order that
// does not exist (or the viewer does not see), is cancelled or was received already, a day
// after today, a line the order does not have, a quantity below 0 or above
// kMostReceivedTimesOrdered times the ordered. Returns how many orders were received.
int64_t receiveOrders(db::Connection& connection, const ReceiptRequest& request);

// Stores a kitchen's counts, in one transaction, each replacing that of its product and day.
// Refuses a product that does not exist, a quantity below 0 and a day after today.
int64_t saveCounts(db::Connection& connection, const std::string& kitchen, const std::vector<StockStore::Count>& counts,
                   const std::string& operatorCode, DateTime now);

// One row per product the kitchen deals in (balanceFields()): its last count on or before
// `day` and what the ledger expects at the start of `day`.
DataPacket kitchenBalance(db::Connection& connection, const std::string& kitchen, DateTime day);
const std::vector<FieldDef>& balanceFields();

}  // namespace krv::server
