#pragma once
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "core/DataPacket.h"
#include "core/DateTime.h"
#include "server/model/Requests.h"
#include "server/storage/Database.h"

namespace krv::server {

namespace db {
class Sql;
}

// Where an order stands: active, sent to its logistic operator, or cancelled (a sent order
// is never cancelled, so the two never meet).
enum class OrderSituation { Active, Sent, Cancelled };

struct OrderState {
    OrderSituation situation = OrderSituation::Active;
    std::optional<DateTime> sentOn;  // when it was marked sent
};

// The orders one viewer may see. Tools working on the database itself leave both unset and
// see every order.
struct OrderViewer {
    std::optional<std::string> generatedBy;        // only the orders this operator generated
    std::optional<std::set<std::string>> kitchens;  // only the orders for these kitchens
};

struct OrderFilter {
    OrderViewer viewer;
    std::optional<std::string> kitchen;           // orders for this kitchen
    std::optional<std::string> logisticOperator;  // orders addressed to this operator
    Period period;                                // delivery days, both included
    std::optional<OrderSituation> situation;      // nullopt: every situation
};

// The SQL that reads generated orders back and marks them sent; writes inside the caller's
// transaction.
class OrderReadStore {
public:
    explicit OrderReadStore(db::Connection& connection) : c_(connection) {}

    // One row per order (orderFields()), by number.
    DataPacket orders(const OrderFilter& filter);
    // The state of each of these orders that exists and the viewer sees.
    std::map<int64_t, OrderState> states(const std::vector<int64_t>& orders, const OrderViewer& viewer);
    // One row per line of the order, by product (orderLineFields()).
    DataPacket lines(int64_t order);
    // The requisition items that fed the order's lines, by product, requisition and type.
    DataPacket requisitions(int64_t order);
    void markSent(const std::vector<int64_t>& orders, const std::string& operatorCode, DateTime now);

private:
    db::Connection& c_;
};

// " AND …" narrowing purchase_order "o" to what the viewer sees.
void viewerCondition(db::Sql& sql, const OrderViewer& viewer);

const std::vector<FieldDef>& orderFields();
// An order's header, over purchase_order "o": the columns of orderFields() from NRPEDEXOL to
// DTLANCAMENTO (orderHeadFields()), and the joins they need.
extern const char* const kOrderHeadColumns;
extern const char* const kOrderHeadJoins;
std::vector<FieldDef> orderHeadFields();
const std::vector<FieldDef>& orderLineFields();
// How many packages of `size` hold `quantity`, as SQL over two column expressions, with the
// margin that keeps a sum slipped a hair above whole packages from counting one more.
std::string packagesSql(const std::string& quantity, const std::string& size);

}  // namespace krv::server
