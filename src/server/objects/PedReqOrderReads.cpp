// The methods of "KRV52000.rdmPedReq" that read generated orders back and hand them on to
// their logistic operators. Each checks its branch argument in one place, where a check of
// the operator's role per branch belongs too.
#include <limits>

#include "server/checks/Arguments.h"
#include "server/domain/OrderCancellation.h"
#include "server/domain/OrderShipment.h"
#include "server/objects/PedReqObject.h"
#include "server/stores/CalculationStore.h"

namespace krv::server {

OrderViewer PedReqObject::orderViewer(const rpc::Caller& caller) { return requireOrderViewer(caller.operatorName); }

int64_t PedReqObject::orderNumber(const Variant& value) {
    return requireInteger(value, "Número do pedido", 1, 9999999999);
}

Variant PedReqObject::GetPedidos(const rpc::Caller& caller, std::vector<Variant>& args) {
    OrderFilter filter;
    filter.viewer = orderViewer(caller);
    if (!(args.at(0).isString() && args[0].str() == "T")) {
        const std::string branch = requireCode(args[0], "Código da filial", 4);
        const auto supply = CalculationStore(database_.connection()).supplyOf(branch);
        if (!supply) refuse("Filial " + branch + " não cadastrada.");
        (supply->logisticOperator ? filter.logisticOperator : filter.kitchen) = branch;
    }
    filter.period = requirePeriod(args.at(1), args.at(2), kMaxCalculationDays);
    const std::string situation = requireChoice(args.at(3), "Situação", {"A", "E", "C", "T"});
    if (situation != "T")
        filter.situation = situation == "A"   ? OrderSituation::Active
                           : situation == "E" ? OrderSituation::Sent
                                              : OrderSituation::Cancelled;
    return OrderReadStore(database_.connection()).orders(filter);
}

Variant PedReqObject::GetItensPedido(const rpc::Caller& caller, std::vector<Variant>& args) {
    const int64_t order = orderNumber(args.at(0));
    requireOrder(database_.connection(), order, orderViewer(caller));
    return OrderReadStore(database_.connection()).lines(order);
}

Variant PedReqObject::GetRequisicoesPedido(const rpc::Caller& caller, std::vector<Variant>& args) {
    const int64_t order = orderNumber(args.at(0));
    // A cancelled order gave its requisitions back: nothing points at it any more.
    if (requireOrder(database_.connection(), order, orderViewer(caller)).situation == OrderSituation::Cancelled)
        refuse("Pedido " + std::to_string(order) + " está cancelado: suas requisições foram liberadas.");
    return OrderReadStore(database_.connection()).requisitions(order);
}

Variant PedReqObject::MarcaPedidosEnviados(const rpc::Caller& caller, std::vector<Variant>& args) {
    ShipmentRequest request;
    request.orders = requireOrderNumbers(args.at(0));
    request.operatorCode = requireOperator(args.at(1), caller);
    request.viewer = orderViewer(caller);
    request.now = clock_();
    return Variant(Variant::Array{Variant(markOrdersSent(database_.connection(), request))});
}

}  // namespace krv::server
