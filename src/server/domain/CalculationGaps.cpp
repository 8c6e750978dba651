#include "server/domain/CalculationGaps.h"

#include "core/NumberText.h"

namespace krv::server {

namespace {

// How many of each kind a batch row names: a row per kitchen stays readable.
constexpr size_t kNamedPerKitchen = 3;

}  // namespace

std::string firstFew(const std::vector<std::string>& names, size_t shown) {
    std::string text;
    for (size_t i = 0; i < names.size() && i < shown; ++i) text += (i ? "; " : "") + names[i];
    if (names.size() > shown) text += " e mais " + countText(int64_t(names.size() - shown));
    return text;
}

bool CalculationGaps::any() const {
    return !servicesWithoutMenu.empty() || !shiftsWithoutDiners.empty() || !dinersWithoutMenu.empty() ||
           !dishesWithoutRecipe.empty() || !fixedDaysWithoutDiners.empty();
}

std::string CalculationGaps::servicesWithoutMenuText() const {
    std::string text;
    for (const std::string& service : servicesWithoutMenu) text += (text.empty() ? "" : ", ") + service;
    return text;
}

std::string CalculationGaps::othersText() const {
    const std::pair<const char*, const std::vector<std::string>*> kinds[] = {
        {"Turnos com cardápio e sem comensais", &shiftsWithoutDiners},
        {"Turnos com comensais e sem cardápio", &dinersWithoutMenu},
        {"Pratos sem receita", &dishesWithoutRecipe},
        {"Dias com consumo fixo e sem comensais", &fixedDaysWithoutDiners}};
    std::string text;
    for (const auto& [label, names] : kinds)
        if (!names->empty())
            text += (text.empty() ? "" : " ") + std::string(label) + " (" + countText(int64_t(names->size())) +
                    "): " + firstFew(*names, kNamedPerKitchen) + ".";
    return text;
}

CalculationGaps findGaps(CalculationStore& store, const CalculationRequest& request) {
    CalculationGaps gaps;
    if (request.types.rawMaterial) {
        gaps.servicesWithoutMenu = store.servicesWithoutMenu(request);
        gaps.shiftsWithoutDiners = store.shiftsWithoutDiners(request);
        gaps.dinersWithoutMenu = store.dinersWithoutMenu(request);
        gaps.dishesWithoutRecipe = store.dishesWithoutRecipe(request);
    }
    if (request.types.fixed) gaps.fixedDaysWithoutDiners = store.fixedDaysWithoutDiners(request);
    return gaps;
}

}  // namespace krv::server
