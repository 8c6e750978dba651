#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/DateTime.h"
#include "server/storage/Database.h"

namespace krv::server {

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

// One calculation, its arguments already checked.
struct CalculationRequest {
    std::string branch;
    std::string supplier;  // the branch's logistic operator
    DateTime start;        // dates, both included
    DateTime end;
    double increase = 0;  // percent
    bool roundToPackage = false;
    ConsumptionTypes types;
    std::string operatorCode;
    std::string entryBranch;            // the host's current branch
    std::vector<std::string> services;  // of the branch
    DateTime now;
};

// What a calculation wrote, for the screen to tell the user.
struct CalculationOutcome {
    int64_t list = 0;  // the calculation list's number
    int64_t requisitions = 0;
    int64_t items = 0;
    // "0003 - Lanche da Tarde" for each service with no menu in the period while raw
    // material was asked for: its requisitions hold only fixed and per-capita lines.
    std::vector<std::string> servicesWithoutMenu;
};

// The longest period one calculation covers, in days.
constexpr int kMaxCalculationDays = 366;

// Replaces the branch's requisition items of the checked types for those services and
// days with freshly computed ones, in one transaction, and stores the requisitions it
// wrote as a new calculation list, whose number it returns with what was written; `renewed` (a calculation
// list) goes with it. Refusals are rpc::MethodFailure whose text is a key the screen
// translates: ERR_JA_EXISTE_PED, TP_CONSFIXO, PRATO_CONSFIXO, TP_CONSPER, PRATO_CONSPER.
CalculationOutcome calculateRequisitions(db::Connection& connection, const CalculationRequest& request,
                                         std::optional<int64_t> renewed);

}  // namespace krv::server
