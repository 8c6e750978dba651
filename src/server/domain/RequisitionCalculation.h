#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "server/model/Requests.h"
#include "server/storage/Database.h"

namespace krv::server {

// What a calculation wrote, for the screen to tell the user.
struct CalculationOutcome {
    int64_t list = 0;  // the calculation list's number
    int64_t requisitions = 0;
    int64_t items = 0;
    // "0003 - Lanche da Tarde" for each service with no menu in the period while raw
    // material was asked for: its requisitions hold only fixed and per-capita lines.
    std::vector<std::string> servicesWithoutMenu;
    // While raw material was asked for: "0001 - Almoço, turno 1, 16/03/2026" for each shift
    // and day with a menu and no diners, which get no raw material.
    std::vector<std::string> shiftsWithoutDiners;
    // While fixed consumption was asked for: "0001 - Almoço, 16/03/2026" for each service and
    // day that gets it with no diners at all.
    std::vector<std::string> fixedDaysWithoutDiners;
};

// The first `shown` of `names`, then "e mais N": "a, b, c e mais 4".
std::string firstFew(const std::vector<std::string>& names, size_t shown = 5);

// Replaces the branch's requisition items of the checked types for the services of the
// request's service list and its days with freshly computed ones, in one transaction, and
// stores the requisitions it wrote as a new calculation list, whose number it returns with
// what was written; `renewed` (a calculation list) goes with it. Refusals are
// rpc::MethodFailure whose text is a key the screen translates: ERR_JA_EXISTE_PED,
// TP_CONSFIXO, PRATO_CONSFIXO, TP_CONSPER, PRATO_CONSPER.
CalculationOutcome calculateRequisitions(db::Connection& connection, const CalculationRequest& request,
                                         std::optional<int64_t> renewed);

}  // namespace krv::server
