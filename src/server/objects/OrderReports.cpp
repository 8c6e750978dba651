#include "server/objects/OrderReports.h"

#include "server/checks/Arguments.h"
#include "server/domain/OrderCancellation.h"
#include "server/domain/OrderShipment.h"
#include "server/stores/CalculationStore.h"
#include "server/stores/OrderDocumentStore.h"

namespace krv::server {

namespace {

const Variant& param(const std::map<std::string, Variant>& params, const std::string& name) {
    return params.at(name);  // presence is checked before any query runs
}

// Viewer, period and branch of either document; `operatorOnly` refuses a kitchen and "T".
OrderDocumentFilter documentFilter(db::Connection& c, const std::map<std::string, Variant>& p,
                                   const Permissions& caller, bool operatorOnly) {
    OrderDocumentFilter f;
    const Variant& branchParam = param(p, "P_CDFILIAL");
    if (operatorOnly || !(branchParam.isString() && branchParam.str() == "T")) {
        const std::string branch = requireCode(branchParam, "Parâmetro P_CDFILIAL", 4);
        caller.requireBranch(branch);
        const auto supply = CalculationStore(c).supplyOf(branch);
        if (!supply) refuse("Filial " + branch + " não cadastrada.");
        if (operatorOnly && !supply->logisticOperator)
            refuse("A filial " + branch + " não é um operador logístico: a lista de separação é de um operador.");
        (supply->logisticOperator ? f.logisticOperator : f.kitchen) = branch;
    }
    f.viewer = caller.orderViewer();
    f.period.start = requireDay(param(p, "P_DATAINI"), "Parâmetro P_DATAINI");
    f.period.end = requireDay(param(p, "P_DATAFIN"), "Parâmetro P_DATAFIN");
    if (f.period.end < f.period.start) refuse("Parâmetro P_DATAINI deve ser menor ou igual a P_DATAFIN.");
    return f;
}

}  // namespace

Variant orderDocument(db::Connection& c, const std::map<std::string, Variant>& p, const Permissions& caller) {
    OrderDocumentFilter f = documentFilter(c, p, caller, false);
    requireChoice(param(p, "P_IDQUEBRAPAGINA"), "Parâmetro P_IDQUEBRAPAGINA", {"S", "N"});
    const Variant& orders = param(p, "P_PEDIDOS");
    if (!(orders.isString() && orders.str() == "T")) {
        f.orders = requireOrderNumbers(orders);
        caller.requireOrders(c, *f.orders);
        // A chosen order that is not printed must be said, not silently left out.
        for (const int64_t order : *f.orders)
            if (requireOrder(c, order, f.viewer).situation == OrderSituation::Cancelled)
                refuse("Pedido " + std::to_string(order) + " está cancelado.");
    }
    return Variant(OrderDocumentStore(c).orderLines(f));
}

Variant pickListDocument(db::Connection& c, const std::map<std::string, Variant>& p, const Permissions& caller) {
    const OrderDocumentFilter f = documentFilter(c, p, caller, true);
    requireChoice(param(p, "P_IDRESUMO"), "Parâmetro P_IDRESUMO", {"S", "N"});
    return Variant(OrderDocumentStore(c).pickLines(f));
}

}  // namespace krv::server
