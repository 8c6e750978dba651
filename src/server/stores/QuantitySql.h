#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/DateTime.h"
#include "server/model/Requests.h"
#include "server/storage/SqlBuilder.h"

namespace krv::server {

// The kitchens whose consumption is computed: one branch and the services of a service
// list, or every branch a logistic operator supplies.
class Kitchens {
public:
    static Kitchens ofServiceList(std::string branch, int64_t serviceList) {
        return Kitchens(std::move(branch), serviceList);
    }
    static Kitchens suppliedBy(std::string logisticOperator) {
        return Kitchens(std::move(logisticOperator), std::nullopt);
    }

    // The condition on the columns cdfilial and cdservfili of the table under `alias`.
    void appendCondition(db::Sql& sql, std::string_view alias) const;

private:
    Kitchens(std::string branch, std::optional<int64_t> serviceList)
        : branch_(std::move(branch)), serviceList_(serviceList) {}

    std::string branch_;                  // the branch, or the logistic operator
    std::optional<int64_t> serviceList_;  // nullopt: every branch the operator supplies
};

// What the consumption is computed for; the days are start to end, both included.
struct QuantityScope {
    Kitchens kitchens;
    DateTime start;
    DateTime end;
    ConsumptionTypes types;
};

// The SQL of a quantity as stored: rounded to kQuantityDecimals with the very operations of
// roundedQuantity(), so that both engines and the explanation agree to the last bit.
std::string roundedSql(const std::string& expression);

// Appends the common table expressions, without the WITH, that end in
//   computed (cdfilial, cdservfili, cdturno, dt, cdproduto, tp, qt):
// raw material (C) = Σ menu dishes × diners × recipe quantity, per capita (P) = diners ×
// quantity per diner, fixed (F) = the daily quantity once per service and day, on the
// service's lowest shift. Nothing is increased, rounded or left out yet.
void consumptionQuantities(db::Sql& sql, const QuantityScope& scope);

}  // namespace krv::server
