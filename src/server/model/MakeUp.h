#pragma once
#include <cstdint>
#include <optional>
#include <string>

namespace krv::server {

// One piece of a computed quantity as today's tables give it: a dish of the menu, the
// per-capita consumption or the fixed daily consumption, of one shift.
struct MakeUpPart {
    std::string type;   // "C", "F" or "P"
    std::string shift;  // CDTURNO
    std::string label;
    std::optional<int64_t> diners;
    double perUnit = 0;  // per diner, or per day for fixed consumption
    double quantity = 0;
};

// A stored quantity and how its calculation adjusted it. `type` empty takes the parts of
// every type (a forecast sums them all).
struct StoredQuantity {
    std::string type;
    double quantity = 0;
    std::optional<double> increase;  // percent; nullopt when the calculation did not keep it
    std::optional<double> package;   // the package size rounded to; nullopt when not rounded
};

}  // namespace krv::server
