// The "why this quantity?" methods of KRV52000.rdmPedReq.
#include <limits>

#include "server/checks/Arguments.h"
#include "server/domain/Explanation.h"
#include "server/domain/RequisitionCalculation.h"
#include "server/domain/StockExplanation.h"
#include "server/objects/PedReqObject.h"
#include "server/stores/ExplanationStore.h"
#include "server/stores/ScopeStore.h"

namespace krv::server {

namespace {

constexpr size_t kProductCodeSize = 10;

std::string requireProduct(const Variant& value) { return requireCode(value, "Código do produto", kProductCodeSize); }

}  // namespace

int64_t PedReqObject::requisitionInScope(const rpc::Caller& caller, const Variant& value) {
    const int64_t number = requireInteger(value, "Número da requisição", 1, std::numeric_limits<int64_t>::max());
    access(caller).requireBranches(ScopeStore(database_.connection()).branchesOfRequisitions({number}));
    return number;
}

Variant PedReqObject::GetProdutosRequisicao(const rpc::Caller& caller, std::vector<Variant>& args) {
    const int64_t requisition = requisitionInScope(caller, args.at(0));
    ExplanationStore store(database_.connection());
    if (!store.requisitionExists(requisition)) refuse("Requisição " + std::to_string(requisition) + " não cadastrada.");
    return store.products(requisition);
}

Variant PedReqObject::ExplicaItemRequisicao(const rpc::Caller& caller, std::vector<Variant>& args) {
    const int64_t requisition = requisitionInScope(caller, args.at(0));
    const std::string product = requireProduct(args.at(1));
    ExplanationStore store(database_.connection());
    const auto item = store.requisitionItem(requisition, product);
    if (!item) {
        const std::string number = std::to_string(requisition);
        if (!store.requisitionExists(requisition)) refuse("Requisição " + number + " não cadastrada.");
        if (!store.productExists(product)) refuse("Produto " + product + " não cadastrado.");
        refuse("O produto " + product + " não está na requisição " + number + ".");
    }
    DataPacket rows = explain(item->quantities, store.makeUp(item->kitchen, product));
    // How its order was netted of stock, when it was.
    OrderReadStore orders(database_.connection());
    if (const auto order = orders.orderOf(requisition))
        if (const auto line = orders.line(*order, product))
            for (Row& row : stockRowsFor(*order, *line)) rows.rows.push_back(std::move(row));
    return rows;
}

Variant PedReqObject::ExplicaItemPrevisao(const rpc::Caller& caller, std::vector<Variant>& args) {
    const std::string supplier = logisticOperator(caller, args.at(0));
    Kitchen kitchen;
    kitchen.branch = requireCode(args.at(1), "Código da filial atendida", 4);
    access(caller).requireBranch(kitchen.branch);
    kitchen.service = requireCode(args.at(2), "Código do serviço", 5);
    if (args.at(3).type() != Variant::Type::DateTime) refuse("Data da previsão deve ser uma data.");
    kitchen.day = args[3].asDateTime().date();
    const std::string product = requireProduct(args.at(4));
    ExplanationStore store(database_.connection());
    const auto quantity = store.forecast(supplier, kitchen, product);
    if (!quantity) {
        if (!store.serviceExists(kitchen.branch, kitchen.service))
            refuse("Serviço " + kitchen.service + " não cadastrado na filial " + kitchen.branch + ".");
        if (!store.productExists(product)) refuse("Produto " + product + " não cadastrado.");
        refuse("A previsão do operador logístico " + supplier + " não tem o produto " + product + " para a filial " +
               kitchen.branch + ", serviço " + kitchen.service + ", em " + kitchen.day.toBr() + ".");
    }
    // A forecast is neither increased nor rounded, and sums the shifts of its day.
    return explain({StoredQuantity{"", *quantity, 0.0, std::nullopt}}, store.makeUp(kitchen, product));
}

Variant PedReqObject::ExistePrevisaoConsumo(const rpc::Caller& caller, std::vector<Variant>& args) {
    const std::string supplier = logisticOperator(caller, args.at(0));
    const auto [start, end] = requirePeriod(args.at(1), args.at(2), kMaxCalculationDays);
    return Variant(ExplanationStore(database_.connection()).forecastExists(supplier, start, end));
}

}  // namespace krv::server
