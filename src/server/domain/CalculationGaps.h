#pragma once
#include <string>
#include <vector>

#include "server/model/Requests.h"
#include "server/stores/CalculationStore.h"

namespace krv::server {

// What a kitchen's data lacks for a calculation of the request's types, each as the single
// and the batch calculation name it: what is not there is calculated as nothing, silently
// but for these.
struct CalculationGaps {
    // Raw material asked for: services with no menu in the period ("0003 - Lanche"), shifts
    // and days with a menu and no diners, shifts and days with diners and no menu, dishes
    // on a menu with no recipe.
    std::vector<std::string> servicesWithoutMenu;
    std::vector<std::string> shiftsWithoutDiners;
    std::vector<std::string> dinersWithoutMenu;
    std::vector<std::string> dishesWithoutRecipe;
    // Fixed consumption asked for: services' days that get it with no diners at all.
    std::vector<std::string> fixedDaysWithoutDiners;

    bool any() const;
    // "0003 - Lanche, 0004 - Ceia"
    std::string servicesWithoutMenuText() const;
    // Everything but the services with no menu, a sentence per kind with its count and the
    // first few named: "Turnos com cardápio e sem comensais (2): 01 - Almoço, turno 2, …".
    std::string othersText() const;
};

CalculationGaps findGaps(CalculationStore& store, const CalculationRequest& request);

// The first `shown` of `names`, then "e mais N": "a, b, c e mais 4".
std::string firstFew(const std::vector<std::string>& names, size_t shown = 5);

}  // namespace krv::server
