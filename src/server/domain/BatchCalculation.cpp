#include "server/domain/BatchCalculation.h"

#include "rpc/Dispatcher.h"
#include "server/checks/Arguments.h"
#include "server/domain/RequisitionCalculation.h"
#include "server/stores/CalculationStore.h"
#include "server/stores/ListStore.h"
#include "server/stores/PedReqStore.h"
#include "server/stores/SupplyStore.h"

namespace krv::server {

namespace {

constexpr const char* kCalculated = "calculada";
constexpr const char* kCalculatedWithWarnings = "calculada, com avisos";

// Why a kitchen was not calculated, in the words of the summary.
std::string reasonOf(const std::string& refusal) {
    if (refusal == "ERR_JA_EXISTE_PED") return "não calculada: já há pedidos gerados para requisições do período";
    return "não calculada: " + refusal;
}

// The single calculation of every service of the kitchen, in one transaction. Its service
// list and the calculation list it makes serve nobody afterwards and go with it.
KitchenCalculation calculateKitchen(db::Connection& connection, const BatchCalculationRequest& batch,
                                    const std::pair<std::string, std::string>& kitchen) {
    KitchenCalculation result{kitchen.first, kitchen.second};
    const CalculationOutcome outcome = connection.write([&](db::Connection& c) {
        CalculationRequest request = batch.figures;
        ListStore lists(c, request.operatorCode);
        request.branch = kitchen.first;
        request.supplier = batch.logisticOperator;
        request.entryBranch = batch.logisticOperator;
        request.serviceList =
            lists.storeServices(kitchen.first, PedReqStore(c).serviceCodes(kitchen.first), std::nullopt, request.now);
        const CalculationOutcome made = calculateRequisitions(c, request, std::nullopt);
        lists.remove({{request.serviceList, ListKind::Services}, {made.list, ListKind::Calculation}});
        return made;
    });
    result.calculated = true;
    result.requisitions = outcome.requisitions;
    result.items = outcome.items;
    result.servicesWithoutMenu = outcome.gaps.servicesWithoutMenuText();
    result.warnings = outcome.gaps.othersText();
    result.situation = outcome.gaps.any() ? kCalculatedWithWarnings : kCalculated;
    return result;
}

}  // namespace

std::vector<KitchenCalculation> calculateKitchens(db::Connection& connection, const BatchCalculationRequest& request) {
    auto kitchens = SupplyStore(connection).kitchens(request.logisticOperator);
    if (kitchens.empty()) refuse("O operador logístico " + request.logisticOperator + " não abastece nenhuma filial.");
    if (request.kitchen) {
        std::erase_if(kitchens, [&](const auto& kitchen) { return kitchen.first != *request.kitchen; });
        if (kitchens.empty())
            refuse("A filial " + *request.kitchen + " não é abastecida pelo operador logístico " +
                   request.logisticOperator + ".");
    }
    // The same for every kitchen: refused once, before any is written.
    if (const auto missing = CalculationStore(connection).missingDefault(request.figures.types))
        throw rpc::MethodFailure(*missing);
    std::vector<KitchenCalculation> results;
    for (const auto& kitchen : kitchens) {
        try {
            results.push_back(calculateKitchen(connection, request, kitchen));
        } catch (const rpc::MethodFailure& refused) {
            results.push_back({kitchen.first, kitchen.second, false, 0, 0, "", "", reasonOf(refused.what())});
        } catch (const db::Conflict&) {
            results.push_back({kitchen.first, kitchen.second, false, 0, 0, "", "",
                               "não calculada: o banco de dados esteve ocupado; calcule-a de novo"});
        }
    }
    return results;
}

DataPacket kitchenCalculationPacket(const std::vector<KitchenCalculation>& kitchens) {
    DataPacket packet{{{"CDFILIAL", FieldType::String, 4},
                       {"NMFILIAL", FieldType::String, 30},
                       {"IDCALCULADA", FieldType::Fixed, 1},
                       {"QTREQUISICOES", FieldType::Integer, 0},
                       {"QTITENS", FieldType::Integer, 0},
                       {"DSSEMCARDAPIO", FieldType::String, 250},
                       {"DSSITUACAO", FieldType::String, 120},
                       {"DSAVISOS", FieldType::String, kWarningsSize}},
                      {}};
    for (const KitchenCalculation& k : kitchens)
        packet.rows.push_back({Variant(k.branch), Variant(k.name), Variant(k.calculated ? "S" : "N"),
                               Variant(k.requisitions), Variant(k.items), Variant(k.servicesWithoutMenu),
                               Variant(k.situation), Variant(k.warnings)});
    return packet;
}

}  // namespace krv::server
