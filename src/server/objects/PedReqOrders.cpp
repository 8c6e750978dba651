// The order methods of "KRV52000.rdmPedReq" that come beside the generation: its preview and
// the cancellation of orders.
#include "server/checks/Arguments.h"
#include "server/checks/Existing.h"
#include "server/domain/OrderCancellation.h"
#include "server/domain/OrderPreview.h"
#include "server/objects/PedReqObject.h"

namespace krv::server {

Variant PedReqObject::PreviaPedidoPorRequisicao(const rpc::Caller& caller, std::vector<Variant>& args) {
    return previewOrders(database_.connection(), orderRequest(caller, args));
}

Variant PedReqObject::CancelaPedido(const rpc::Caller& caller, std::vector<Variant>& args) {
    CancellationRequest request;
    const Permissions permissions = access(caller);
    request.orders = requireOrderNumbers(args.at(0));
    permissions.requireOrders(database_.connection(), request.orders);
    request.operatorCode = requireOperator(args.at(1), caller);
    if (args.size() > 2 && !(args[2].isString() && args[2].str().empty())) {
        request.branch = branchInScope(permissions, args[2]);
        requireBranch(database_.connection(), *request.branch);
    }
    request.now = clock_();
    const CancelledOrders cancelled = cancelOrders(database_.connection(), request);
    return Variant(Variant::Array{Variant(cancelled.orders), Variant(cancelled.requisitions)});
}

}  // namespace krv::server
