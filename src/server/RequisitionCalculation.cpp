#include "server/RequisitionCalculation.h"

#include "rpc/Dispatcher.h"
#include "server/CalculationStore.h"
#include "server/ListStore.h"

namespace krv::server {

std::optional<ConsumptionTypes> ConsumptionTypes::parse(std::string_view code) {
    if (code.size() != 3) return std::nullopt;
    const auto flag = [&](size_t at, char letter) -> std::optional<bool> {
        if (code[at] == letter) return true;
        if (code[at] == 'X') return false;
        return std::nullopt;
    };
    const auto c = flag(0, 'C'), f = flag(1, 'F'), p = flag(2, 'P');
    if (!c || !f || !p || !(*c || *f || *p)) return std::nullopt;
    return ConsumptionTypes{*c, *f, *p};
}

std::vector<std::string> ConsumptionTypes::letters() const {
    std::vector<std::string> letters;
    if (rawMaterial) letters.emplace_back("C");
    if (fixed) letters.emplace_back("F");
    if (perCapita) letters.emplace_back("P");
    return letters;
}

CalculationOutcome calculateRequisitions(db::Connection& connection, const CalculationRequest& request,
                                         std::optional<int64_t> renewed) {
    // One transaction: a second calculation of the same scope either waits for this one
    // or is run again after it, so the requisitions are never a mix of both.
    return connection.write([&](db::Connection& c) {
        CalculationStore store(c);
        if (const auto missing = store.missingDefault(request.types)) throw rpc::MethodFailure(*missing);
        if (store.anyOrdered(request)) throw rpc::MethodFailure("ERR_JA_EXISTE_PED");
        const DataPacket written = store.replaceItems(request);
        CalculationOutcome outcome;
        outcome.list = ListStore(c).replace(ListKind::Calculation, written, renewed, request.now);
        outcome.requisitions = int64_t(written.rows.size());
        outcome.items = store.itemCount(request);
        if (request.types.rawMaterial) outcome.servicesWithoutMenu = store.servicesWithoutMenu(request);
        return outcome;
    });
}

}  // namespace krv::server
