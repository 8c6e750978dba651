#pragma once
#include <cstdint>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "core/DataPacket.h"
#include "core/DateTime.h"
#include "core/Variant.h"
#include "server/Arguments.h"
#include "server/storage/Database.h"

namespace krv::server {

// The order screen's requisition list: the fields getRequisicoes answers and
// GetNrListaRequiPedido takes back, in this order.
const std::vector<FieldDef>& requisitionListFields();

// The message of a generation over a list whose requisitions all have an order by now.
inline constexpr const char* kNothingPending = "Nenhuma requisição pendente na lista.";

// (CDGRUPPROD, CDSUBGRPROD)
using GroupingKey = std::pair<std::string, std::string>;

// "T" (nullopt: every grouping) or a key list whose keys are the grouping picker's: the
// group padded with blanks to 10 characters, then the grouping.
std::optional<std::set<GroupingKey>> requireGroupingSelection(const Variant& value);

struct ListedRequisition {
    int64_t number;
    std::string branch;
    DateTime day;
};

// The rows of the order screen's packet that the user marked and that had no order when
// the list was loaded, each number once. Refuses a packet that is not the requisition
// list, one with nothing to order, and a marked row that is no requisition of its branch
// and day here: a client must not get another branch's requisitions ordered by number.
std::vector<ListedRequisition> requisitionsToList(db::Connection& connection, const Variant& packet);

struct OrderRequest {
    int64_t list = 0;  // a requisition list's number
    Period period;
    bool perShift = true;
    std::optional<std::string> branch;   // the consolidation branch, when consolidated
    std::optional<std::string> service;  // the consolidation service, when consolidated
    bool roundToPackage = false;         // each order line up to whole packages of its product
    std::string operatorCode;
    std::string currentBranch;
    DateTime now;
};

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
};
GeneratedOrders generateOrders(db::Connection& connection, const OrderRequest& request,
                       const std::function<void()>& midway = {});

}  // namespace krv::server
