#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/DataPacket.h"
#include "server/model/MakeUp.h"

namespace krv::server {

// The make-up of each stored quantity as rows (TPCONSUMO, TPLINHA, CDTURNO, DSLINHA,
// NRCOMENSAIS, QTUNITARIA, QTLINHA): the parts, the increase and the rounding, whose
// QTLINHA add up to the closing TOTAL row, the stored quantity. When today's tables no
// longer give the stored quantity, the parts are left out: a DIFERENCA row says by how
// much today's recomputation differs, then the TOTAL.
DataPacket explain(const std::vector<StoredQuantity>& stored, const std::vector<MakeUpPart>& parts);

// The field list of explain()'s packets.
const std::vector<FieldDef>& explanationFields();

}  // namespace krv::server
