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
#include "server/stores/StockStore.h"

namespace krv::server {

namespace db {
class Sql;
}

// Where an order stands: active, sent to its logistic operator, received by its kitchen, or
// cancelled (a sent or received order is never cancelled, so those never meet).
enum class OrderSituation { Active, Sent, Received, Cancelled };

struct OrderState {
    OrderSituation situation = OrderSituation::Active;
    std::optional<DateTime> sentOn;      // when it was marked sent
    std::optional<DateTime> receivedOn;  // the day it was received
};

// The orders one viewer may see. Tools working on the database itself leave both unset and
// see every order.
struct OrderViewer {
    std::optional<std::string> generatedBy;         // only the orders this operator generated
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
    // Received on `day`: every line as ordered, except those of `received` (product → quantity).
    void markReceived(int64_t order, DateTime day, const std::map<std::string, double>& received,
                      const std::string& operatorCode, DateTime now);
    // What each line of the order ordered, by product.
    std::map<std::string, double> orderedLines(int64_t order);

    // One line's figures and where its stock came from, for its explanation.
    struct LineFigures {
        DateTime day;
        std::string unit;
        double need = 0, bought = 0, fromStock = 0, package = 0;
        int shelfLife = 0;
        std::vector<StockSource> sources;
    };
    std::optional<LineFigures> line(int64_t order, const std::string& product);
    // The order a requisition is in, if any.
    std::optional<int64_t> orderOf(int64_t requisition);

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
