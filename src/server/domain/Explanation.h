#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/DataPacket.h"

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

// The make-up of each stored quantity as rows (TPCONSUMO, TPLINHA, CDTURNO, DSLINHA,
// NRCOMENSAIS, QTUNITARIA, QTLINHA): the parts, the increase and the rounding, whose
// QTLINHA add up to the closing TOTAL row, the stored quantity. When today's tables no
// longer give the stored quantity, the parts are left out: a DIFERENCA row says by how
// much today's recomputation differs, then the TOTAL.
DataPacket explain(const std::vector<StoredQuantity>& stored, const std::vector<MakeUpPart>& parts);

// The field list of explain()'s packets.
const std::vector<FieldDef>& explanationFields();

}  // namespace krv::server
