#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "server/domain/CalculationGaps.h"
#include "server/model/Requests.h"
#include "server/storage/Database.h"

namespace krv::server {

// What a calculation wrote, for the screen to tell the user.
struct CalculationOutcome {
    int64_t list = 0;  // the calculation list's number
    int64_t requisitions = 0;
    int64_t items = 0;
    CalculationGaps gaps;
};

// Replaces the branch's requisition items of the checked types for the services of the
// request's service list and its days with freshly computed ones, in one transaction, and
// stores the requisitions it wrote as a new calculation list, whose number it returns with
// what was written; `renewed` (a calculation list) goes with it. Refusals are
// rpc::MethodFailure whose text is a key the screen translates: ERR_JA_EXISTE_PED,
// TP_CONSFIXO, PRATO_CONSFIXO, TP_CONSPER, PRATO_CONSPER.
CalculationOutcome calculateRequisitions(db::Connection& connection, const CalculationRequest& request,
                                         std::optional<int64_t> renewed);

}  // namespace krv::server
