// The calculation of every kitchen of a logistic operator in one call of
// "KRV52000.rdmPedReq".
#include "server/access/Permissions.h"
#include "server/checks/Arguments.h"
#include "server/domain/BatchCalculation.h"
#include "server/objects/PedReqObject.h"
#include "server/stores/CalculationStore.h"
#include "server/stores/SupplyStore.h"

namespace krv::server {

namespace {

// An existing logistic operator the caller answers for; answering for the operator is
// answering for every kitchen it supplies.
std::string requireLogisticOperator(db::Connection& connection, const Permissions& caller, const Variant& value) {
    const std::string branch = requireCode(value, "Código do operador logístico", 4);
    const auto supply = CalculationStore(connection).supplyOf(branch);
    if (!supply) refuse("Filial " + branch + " não cadastrada.");
    if (!supply->logisticOperator) refuse("A filial " + branch + " não é um operador logístico.");
    caller.requireBranch(branch);
    return branch;
}

}  // namespace

Variant PedReqObject::CalculaRequisicoesFiliais(const rpc::Caller& caller, std::vector<Variant>& args) {
    BatchCalculationRequest request;
    request.logisticOperator = requireLogisticOperator(database_.connection(), access(caller), args.at(0));
    readCalculationFigures(caller, args, request.figures);
    if (args.size() > 7 && !(args[7].isString() && args[7].str().empty()))
        request.kitchen = requireCode(args[7], "Código da filial atendida", 4);
    return kitchenCalculationPacket(calculateKitchens(database_.connection(), request));
}

Variant PedReqObject::GetFiliaisOperador(const rpc::Caller& caller, std::vector<Variant>& args) {
    return SupplyStore(database_.connection())
        .kitchenPacket(requireLogisticOperator(database_.connection(), access(caller), args.at(0)));
}

}  // namespace krv::server
