#include "server/domain/OrderShipment.h"

#include "server/checks/Arguments.h"

namespace krv::server {

namespace {

std::string missing(int64_t order) { return "Pedido " + std::to_string(order) + " não existe."; }

}  // namespace

std::string alreadySent(int64_t order, DateTime on) {
    return "Pedido " + std::to_string(order) + " já foi enviado ao operador logístico em " + on.date().toBr() + ".";
}

std::string alreadyReceived(int64_t order, DateTime on) {
    return "Pedido " + std::to_string(order) + " já foi recebido em " + on.date().toBr() + ".";
}

OrderState requireOrder(db::Connection& connection, int64_t order, const OrderViewer& viewer) {
    const auto states = OrderReadStore(connection).states({order}, viewer);
    if (states.empty()) refuse(missing(order));
    return states.begin()->second;
}

int64_t markOrdersSent(db::Connection& connection, const ShipmentRequest& request) {
    return connection.write([&](db::Connection& c) {
        OrderReadStore store(c);
        const auto states = store.states(request.orders, request.viewer);
        for (const int64_t number : request.orders) {
            const auto at = states.find(number);
            if (at == states.end()) refuse(missing(number));
            if (at->second.situation == OrderSituation::Cancelled)
                refuse("Pedido " + std::to_string(number) + " está cancelado e não pode ser enviado.");
            if (at->second.receivedOn) refuse(alreadyReceived(number, *at->second.receivedOn));
            if (at->second.sentOn) refuse(alreadySent(number, *at->second.sentOn));
        }
        store.markSent(request.orders, request.operatorCode, request.now);
        return int64_t(request.orders.size());
    });
}

}  // namespace krv::server
