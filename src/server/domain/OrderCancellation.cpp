#include "server/domain/OrderCancellation.h"

#include <set>
#include <string_view>

#include "server/checks/Arguments.h"
#include "server/domain/OrderShipment.h"
#include "server/stores/OrderCancelStore.h"

namespace krv::server {

namespace {

constexpr size_t kMaxOrderDigits = 10;

std::optional<int64_t> orderNumber(std::string_view key) {
    if (key.empty() || key.size() > kMaxOrderDigits) return std::nullopt;
    int64_t number = 0;
    for (char c : key) {
        if (c < '0' || c > '9') return std::nullopt;
        number = number * 10 + (c - '0');
    }
    return number > 0 ? std::optional(number) : std::nullopt;
}

}  // namespace

std::vector<int64_t> requireOrderNumbers(const Variant& value) {
    if (!value.isString()) refuse("Pedidos deve ser um texto.");
    const std::string& text = value.str();
    if (text.empty() || text == "_") refuse("Pedidos devem ser informados.");
    if (text.front() != '_' || text.back() != '_')
        refuse("Pedidos deve ser uma lista de números, cada um seguido de \"_\", após um \"_\" inicial (\"_1_2_\").");
    std::vector<int64_t> numbers;
    std::set<int64_t> seen;
    for (size_t start = 1; start < text.size();) {
        const size_t end = text.find('_', start);
        const std::string_view key(text.data() + start, end - start);
        const auto number = orderNumber(key);
        if (!number) refuse("Pedido \"" + std::string(key) + "\" inválido: deve ser um número de 1 a 9999999999.");
        if (seen.insert(*number).second) numbers.push_back(*number);
        start = end + 1;
    }
    return numbers;
}

CancelledOrders cancelOrders(db::Connection& connection, const CancellationRequest& request,
                             const std::function<void()>& midway) {
    return connection.write(
        [&](db::Connection& c) {
            OrderCancelStore store(c);
            c.claim(db::ClaimKind::Kitchen, store.kitchens(request.orders));
            const auto states = store.states(request.orders, request.branch.value_or(""), request.operatorCode);
            for (const int64_t number : request.orders) {
                const std::string order = "Pedido " + std::to_string(number);
                const auto at = states.find(number);
                if (at == states.end()) refuse(order + " não existe.");
                if (at->second.cancelled) refuse(order + " já está cancelado.");
                if (at->second.receivedOn) refuse(alreadyReceived(number, *at->second.receivedOn));
                if (at->second.sentOn) refuse(alreadySent(number, *at->second.sentOn));
                if (request.branch && !at->second.ofBranch) refuse(order + " não é da filial " + *request.branch + ".");
            }
            store.markCancelled(request.orders, request.operatorCode, request.now);
            if (midway) midway();
            const int64_t freed = store.freeRequisitions(request.orders);
            return CancelledOrders{int64_t(request.orders.size()), freed};
        },
        db::WriteKind::Claimed);
}

}  // namespace krv::server
