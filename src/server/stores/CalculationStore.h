#pragma once
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <vector>

#include "core/DataPacket.h"
#include "core/DateTime.h"
#include "server/model/Requests.h"
#include "server/storage/Database.h"

namespace krv::server {

struct BranchSupply {
    bool logisticOperator = false;
    std::optional<std::string> supplier;  // the logistic operator that supplies the branch
};

// The SQL of the requisition calculation. Every statement is set-based: the quantities
// are computed, grouped and rounded by the database, whatever the number of rows.
class CalculationStore {
public:
    explicit CalculationStore(db::Connection& connection) : c_(connection) {}

    std::optional<BranchSupply> supplyOf(const std::string& branch);

    // The message key of the first default dish type or dish that these types need and
    // the parameters lack.
    std::optional<std::string> missingDefault(const ConsumptionTypes& types);

    // Whether a requisition of the request's branch, period and services has an order.
    bool anyOrdered(const CalculationRequest& request);

    // Replaces the items of the checked types in the request's scope with new ones; a
    // requisition left without items goes. Returns the requisitions written, in order.
    std::vector<int64_t> replaceItems(const CalculationRequest& request);

    // Items of the request's types in its scope.
    int64_t itemCount(const CalculationRequest& request);
    // "code - name" of the request's services that have no menu on any day of its period.
    std::vector<std::string> servicesWithoutMenu(const CalculationRequest& request);
    // "0001 - Almoço, turno 1, 16/03/2026" for each shift and day of the request that has a
    // menu but no diners: its raw material comes out as nothing.
    std::vector<std::string> shiftsWithoutDiners(const CalculationRequest& request);
    // "0001 - Almoço, 16/03/2026" for each service and day of the request that gets fixed
    // consumption while none of its shifts has diners.
    std::vector<std::string> fixedDaysWithoutDiners(const CalculationRequest& request);
    // "0001 - Almoço, turno 1, 16/03/2026" for each shift and day of the request with diners
    // but no menu, of a service that has a menu on another day (one with none at all is
    // named by servicesWithoutMenu): it gets no raw material.
    std::vector<std::string> dinersWithoutMenu(const CalculationRequest& request);
    // "D7 - Cuscuz" for each dish on a menu of the request with no recipe: it adds no raw material.
    std::vector<std::string> dishesWithoutRecipe(const CalculationRequest& request);

    // Every requisition item of the branch in the period, one row each, for a look at
    // what a calculation wrote.
    DataPacket items(const std::string& branch, DateTime start, DateTime end);

private:
    // "0001 - Almoço, turno 1, 16/03/2026" for each shift and day that `table` (as t, its day
    // in column `day`) has in the request's services and period and the condition `picked`
    // picks.
    std::vector<std::string> shiftDays(const CalculationRequest& request, const std::string& table,
                                       const std::string& day, const std::string& picked,
                                       std::initializer_list<db::Param> params);

    db::Connection& c_;
};

}  // namespace krv::server
