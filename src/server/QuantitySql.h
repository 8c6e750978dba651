#pragma once
#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "core/DateTime.h"
#include "server/RequisitionCalculation.h"
#include "server/storage/Database.h"

namespace krv::server {

// A statement put together piece by piece, each piece with the parameters of its "?".
class Sql {
public:
    Sql& operator()(std::string_view text, std::initializer_list<db::Param> params = {}) {
        text_ += text;
        params_.insert(params_.end(), params.begin(), params.end());
        return *this;
    }
    // "(?, ?, …)", one parameter per value.
    Sql& list(const std::vector<std::string>& values);

    const std::string& text() const { return text_; }
    const db::Params& params() const { return params_; }

private:
    std::string text_;
    db::Params params_;
};

// What the consumption is computed for: `kitchens` appends a condition on the columns
// cdfilial and cdservfili of the table under the alias it gets (one branch and some of its
// services, or every branch an operator supplies); the days are start to end, both included.
struct QuantityScope {
    std::function<void(Sql&, std::string_view alias)> kitchens;
    DateTime start;
    DateTime end;
    ConsumptionTypes types;
};

// Appends the common table expressions, without the WITH, that end in
//   computed (cdfilial, cdservfili, cdturno, dt, cdproduto, tp, qt):
// raw material (C) = Σ menu dishes × diners × recipe quantity, per capita (P) = diners ×
// quantity per diner, fixed (F) = the daily quantity once per service and day, on the
// service's lowest shift. Nothing is increased, rounded or left out yet.
void consumptionQuantities(Sql& sql, const QuantityScope& scope);

}  // namespace krv::server
