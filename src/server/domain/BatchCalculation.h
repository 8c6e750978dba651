#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "server/model/Requests.h"
#include "server/storage/Database.h"

namespace krv::server {

// The calculation of every kitchen a logistic operator supplies (or of one of them), with
// the figures a single calculation takes.
struct BatchCalculationRequest {
    std::string logisticOperator;
    std::optional<std::string> kitchen;  // only this kitchen, which the operator must supply
    // What every kitchen's calculation takes: period, increase, rounding, types, operator and
    // time; the branch, supplier, entry branch and service list are each kitchen's own.
    CalculationRequest figures;
};

// What became of one kitchen.
struct KitchenCalculation {
    std::string branch;
    std::string name;
    bool calculated = false;
    int64_t requisitions = 0;
    int64_t items = 0;
    std::string servicesWithoutMenu;  // "0003 - Lanche, 0004 - Ceia"
    std::string warnings;             // the other gaps, as CalculationGaps::othersText
    std::string situation;            // "calculada", or why it was not
};

// Calculates each kitchen, all its services, groupings and shifts, in a transaction of its
// own, exactly as a single calculation of all its services would: a kitchen whose
// calculation is refused (orders already generated, …) is reported and the others go on.
// Refuses the whole request, writing nothing, when the operator supplies no kitchen, the
// named kitchen is not one of its, or a default dish the types need is missing (the
// single calculation's message keys).
std::vector<KitchenCalculation> calculateKitchens(db::Connection& connection, const BatchCalculationRequest& request);

// One row per kitchen: CDFILIAL, NMFILIAL, IDCALCULADA ("S"/"N"), QTREQUISICOES, QTITENS,
// DSSEMCARDAPIO, DSSITUACAO ("calculada, com avisos" when its data had gaps), DSAVISOS.
constexpr int kWarningsSize = 2000;
DataPacket kitchenCalculationPacket(const std::vector<KitchenCalculation>& kitchens);

}  // namespace krv::server
