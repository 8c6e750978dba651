// The methods of "KRV52000.rdmPedReq" that read generated orders back and hand them on to
// their logistic operators. Which orders a caller sees is decided by its permissions.
#include <limits>

#include "server/checks/Arguments.h"
#include "server/domain/OrderCancellation.h"
#include "server/domain/OrderShipment.h"
#include "server/objects/PedReqObject.h"
#include "server/stores/CalculationStore.h"

namespace krv::server {

OrderViewer PedReqObject::orderViewer(const rpc::Caller& caller, const std::vector<int64_t>& orders) {
    const Permissions permissions = access(caller);
    permissions.requireOrders(database_.connection(), orders);
    return permissions.orderViewer();
}

int64_t PedReqObject::orderNumber(const Variant& value) {
    return requireInteger(value, "Número do pedido", 1, 9999999999);
}

Variant PedReqObject::GetPedidos(const rpc::Caller& caller, std::vector<Variant>& args) {
    OrderFilter filter;
    const Permissions permissions = access(caller);
    filter.viewer = permissions.orderViewer();
    if (!(args.at(0).isString() && args[0].str() == "T")) {
        const std::string branch = branchInScope(permissions, args[0]);
        const auto supply = CalculationStore(database_.connection()).supplyOf(branch);
        if (!supply) refuse("Filial " + branch + " não cadastrada.");
        (supply->logisticOperator ? filter.logisticOperator : filter.kitchen) = branch;
    }
    filter.period = requirePeriod(args.at(1), args.at(2), kMaxCalculationDays);
    const std::string situation = requireChoice(args.at(3), "Situação", {"A", "E", "R", "C", "T"});
    if (situation != "T")
        filter.situation = situation == "A"   ? OrderSituation::Active
                           : situation == "E" ? OrderSituation::Sent
                           : situation == "R" ? OrderSituation::Received
                                              : OrderSituation::Cancelled;
    return OrderReadStore(database_.connection()).orders(filter);
}

Variant PedReqObject::GetItensPedido(const rpc::Caller& caller, std::vector<Variant>& args) {
    const int64_t order = orderNumber(args.at(0));
    requireOrder(database_.connection(), order, orderViewer(caller, {order}));
    return OrderReadStore(database_.connection()).lines(order);
}

Variant PedReqObject::GetRequisicoesPedido(const rpc::Caller& caller, std::vector<Variant>& args) {
    const int64_t order = orderNumber(args.at(0));
    // A cancelled order gave its requisitions back: nothing points at it any more.
    if (requireOrder(database_.connection(), order, orderViewer(caller, {order})).situation ==
        OrderSituation::Cancelled)
        refuse("Pedido " + std::to_string(order) + " está cancelado: suas requisições foram liberadas.");
    return OrderReadStore(database_.connection()).requisitions(order);
}

Variant PedReqObject::MarcaPedidosEnviados(const rpc::Caller& caller, std::vector<Variant>& args) {
    ShipmentRequest request;
    request.orders = requireOrderNumbers(args.at(0));
    request.operatorCode = requireOperator(args.at(1), caller);
    request.viewer = orderViewer(caller, request.orders);
    request.now = clock_();
    return Variant(Variant::Array{Variant(markOrdersSent(database_.connection(), request))});
}

}  // namespace krv::server
