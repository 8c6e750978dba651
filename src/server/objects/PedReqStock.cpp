// The methods of "KRV52000.rdmPedReq" about what kitchens hold: their counts, the orders they
// receive, and how that stock was taken off the orders.
#include <cmath>
#include <limits>

#include "server/checks/Arguments.h"
#include "server/checks/Existing.h"
#include "server/domain/Explanation.h"
#include "server/domain/OrderCancellation.h"
#include "server/domain/OrderShipment.h"
#include "server/domain/StockExplanation.h"
#include "server/domain/StockKeeping.h"
#include "server/objects/PedReqObject.h"

namespace krv::server {

namespace {

constexpr size_t kProductCodeSize = 10;
constexpr size_t kMostRowsSent = 100000;

// The rows of a packet argument and where its named fields are; refuses anything else.
struct SentRows {
    const std::vector<Row>& rows;
    std::vector<size_t> columns;  // in the order of the names asked
};

SentRows requireRows(const Variant& value, const char* what, const std::vector<std::string>& names) {
    if (value.type() != Variant::Type::Packet) refuse(std::string(what) + " deve ser um pacote de dados.");
    const DataPacket& packet = value.packet();
    SentRows sent{packet.rows, {}};
    for (const std::string& name : names) {
        size_t at = 0;
        while (at < packet.fields.size() && packet.fields[at].name != name) ++at;
        if (at == packet.fields.size()) refuse(std::string(what) + " deve ter o campo " + name + ".");
        sent.columns.push_back(at);
    }
    if (packet.rows.empty()) refuse(std::string(what) + " não tem linhas.");
    if (packet.rows.size() > kMostRowsSent)
        refuse(std::string(what) + " tem mais de " + std::to_string(kMostRowsSent) + " linhas.");
    return sent;
}

std::string productOf(const Row& row, size_t column) {
    return requireCode(row.at(column), "Código do produto", kProductCodeSize);
}

double quantityOf(const Row& row, size_t column, const std::string& what) {
    const Variant& value = row.at(column);
    if (!value.isNumber() || !std::isfinite(value.asDouble())) refuse(what + " deve ser um número maior ou igual a 0.");
    return value.asDouble();
}

}  // namespace

Variant PedReqObject::GetSaldoFilial(const rpc::Caller& caller, std::vector<Variant>& args) {
    const std::string kitchen = branchInScope(access(caller), args.at(0));
    requireBranch(database_.connection(), kitchen);
    return kitchenBalance(database_.connection(), kitchen, requireDay(args.at(1), "Data do saldo"));
}

Variant PedReqObject::GravaContagemEstoque(const rpc::Caller& caller, std::vector<Variant>& args) {
    const std::string kitchen = branchInScope(access(caller), args.at(0));
    requireBranch(database_.connection(), kitchen);
    const SentRows sent = requireRows(args.at(1), "A contagem", {"CDPRODUTO", "DTCONTAGEM", "QTESTOQUE"});
    const std::string operatorCode = requireOperator(args.at(2), caller);
    std::vector<StockStore::Count> counts;
    for (const Row& row : sent.rows) {
        const std::string product = productOf(row, sent.columns[0]);
        counts.push_back({product, requireDay(row.at(sent.columns[1]), "Data da contagem de " + product),
                          quantityOf(row, sent.columns[2], "A contagem do produto " + product)});
    }
    return Variant(
        Variant::Array{Variant(saveCounts(database_.connection(), kitchen, counts, operatorCode, clock_()))});
}

Variant PedReqObject::RecebePedidos(const rpc::Caller& caller, std::vector<Variant>& args) {
    ReceiptRequest request;
    request.orders = requireOrderNumbers(args.at(0));
    request.day = requireDay(args.at(1), "Data de recebimento");
    request.operatorCode = requireOperator(args.at(2), caller);
    request.viewer = orderViewer(caller, request.orders);
    request.now = clock_();
    return Variant(Variant::Array{Variant(receiveOrders(database_.connection(), request))});
}

Variant PedReqObject::RecebeItensPedido(const rpc::Caller& caller, std::vector<Variant>& args) {
    ReceiptRequest request;
    request.orders = {orderNumber(args.at(0))};
    const SentRows sent = requireRows(args.at(1), "O recebimento", {"CDPRODUTO", "QTRECEBIDA"});
    for (const Row& row : sent.rows) {
        const std::string product = productOf(row, sent.columns[0]);
        if (!request.lines.emplace(product, quantityOf(row, sent.columns[1], "Quantidade recebida de " + product))
                 .second)
            refuse("O produto " + product + " aparece mais de uma vez no recebimento.");
    }
    request.operatorCode = requireOperator(args.at(2), caller);
    request.viewer = orderViewer(caller, request.orders);
    request.now = clock_();
    request.day = request.now.date();
    receiveOrders(database_.connection(), request);
    return Variant(Variant::Array{Variant(int64_t(request.lines.size()))});
}

Variant PedReqObject::ExplicaItemPedido(const rpc::Caller& caller, std::vector<Variant>& args) {
    const int64_t order = orderNumber(args.at(0));
    const std::string product = requireCode(args.at(1), "Código do produto", kProductCodeSize);
    requireOrder(database_.connection(), order, orderViewer(caller, {order}));
    const auto line = OrderReadStore(database_.connection()).line(order, product);
    if (!line) refuse("O produto " + product + " não está no pedido " + std::to_string(order) + ".");
    return explainOrderLine(*line);
}

}  // namespace krv::server
