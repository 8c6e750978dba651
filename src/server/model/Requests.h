#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/DataPacket.h"
#include "core/DateTime.h"

// The request and value types of the server's domain: what the remote objects hand to the
// services, and the services to the stores. Everything here is already checked.
namespace krv::server {

// Dates, both included.
struct Period {
    DateTime start;
    DateTime end;
};

// (CDGRUPPROD, CDSUBGRPROD)
using GroupingKey = std::pair<std::string, std::string>;

// The consumption types a calculation writes, as the screen codes them: "C" or "X" (raw
// material from the menu's recipes), "F" or "X" (fixed daily), "P" or "X" (per capita).
struct ConsumptionTypes {
    bool rawMaterial = false;
    bool fixed = false;
    bool perCapita = false;

    // nullopt for anything else, and for "XXX", which would calculate nothing.
    static std::optional<ConsumptionTypes> parse(std::string_view code);
    std::vector<std::string> letters() const;  // the idtipoconsumo values, e.g. {"C", "P"}
};

// The longest period one calculation covers, in days.
constexpr int kMaxCalculationDays = 366;

// One calculation.
struct CalculationRequest {
    std::string branch;
    std::string supplier;  // the branch's logistic operator
    DateTime start;        // dates, both included
    DateTime end;
    double increase = 0;  // percent
    bool roundToPackage = false;
    ConsumptionTypes types;
    std::string operatorCode;  // the session's operator: recorded on the rows, owns the list made
    std::string entryBranch;   // the host's current branch
    int64_t serviceList = 0;   // a service list of the branch: the services calculated
    DateTime now;
};

// One forecast: the operator is a logistic-operator branch.
struct ForecastRequest {
    std::string logisticOperator;
    DateTime start;  // dates, both included
    DateTime end;
    std::string operatorCode;  // who asked, recorded on every row
    DateTime now;
};

struct OrderRequest {
    int64_t list = 0;  // a requisition list's number
    Period period;
    bool perShift = true;
    std::optional<std::string> branch;   // the consolidation branch, when consolidated
    std::optional<std::string> service;  // the consolidation service, when consolidated
    bool roundToPackage = false;         // each order line up to whole packages of its product
    bool netStock = false;               // lines net of what the kitchen holds (whole packages bought)
    std::string operatorCode;
    std::string currentBranch;
    DateTime now;
};

struct ListedRequisition {
    int64_t number;
    std::string branch;
    DateTime day;
};

// The order screen's requisition list: the fields getRequisicoes answers and
// GetNrListaRequiPedido takes back, in this order.
const std::vector<FieldDef>& requisitionListFields();

// Positions in requisitionListFields() that the server reads or fills.
enum RequisitionListColumn : size_t {
    kListMark = 0,
    kListNumber = 1,
    kListDay = 6,
    kListOrder = 13,
    kListDayText = 16,
    kListBranch = 18,
};

}  // namespace krv::server
