#pragma once
#include <optional>
#include <vector>

#include "core/Variant.h"
#include "rpc/Dispatcher.h"
#include "server/access/Permissions.h"
#include "server/domain/OrderGeneration.h"
#include "server/model/Clock.h"
#include "server/storage/Database.h"
#include "server/stores/ListStore.h"
#include "server/stores/OrderReadStore.h"
#include "server/stores/PedReqStore.h"

namespace krv::server {

// "KRV52000.rdmPedReq": requisitions and orders of the requisition module. Validates the
// arguments and hands the work to PedReqStore and ListStore. The lists a method reads or
// makes are the calling operator's own, and an operator argument must be the caller's.
// Each method checks that the caller's role may do it (where it is bound) and that the
// caller answers for every branch it names or touches (where that branch is known).
class PedReqObject {
public:
    static constexpr const char* kName = "KRV52000.rdmPedReq";

    PedReqObject(db::Database& database, Clock clock) : database_(database), clock_(std::move(clock)) {}
    void registerOn(rpc::Dispatcher& dispatcher);

    // Lookups for the screens' pickers.
    Variant GetFilial(const rpc::Caller& caller,
                      std::vector<Variant>& args);  // code, or "T" for every branch the caller answers for
    Variant GetServico(const rpc::Caller& caller, std::vector<Variant>& args);    // branch
    Variant GetAgrupProd(const rpc::Caller& caller, std::vector<Variant>& args);  // branch
    Variant GetTurno(const rpc::Caller& caller,
                     std::vector<Variant>& args);  // service list number: its services' shifts

    // Selections kept as lists; each answers [number] and writes the number into the
    // by-reference current number, whose list it replaces. A key that names nothing
    // selectable is refused, never dropped: the list would be smaller than the user's pick.
    Variant GetNrListaServ(const rpc::Caller& caller,
                           std::vector<Variant>& args);  // branch; keys or "T"; current number
    Variant GetNrListaTurno(const rpc::Caller& caller,
                            std::vector<Variant>& args);  // service list number; current number; keys or "T"
    // Deletes the service, shift and calculation lists; empty numbers and lists already
    // gone are fine, since the screen calls it at every close. Blanks the three numbers.
    Variant apagaListas(const rpc::Caller& caller,
                        std::vector<Variant>& args);  // the three numbers; the calculation's branch

    // Computes the requisitions of a branch, period and service list and answers [number]
    // of the calculation list holding them; the previous calculation list, by reference
    // with its branch, is replaced, and both references name the new one afterwards.
    // Arguments: branch; start, end (dates); increase %; rounding "S"/"N"; consumption
    // types ("CFP", "XXP", …); operator; current branch; service list number; previous
    // calculation list number and branch.
    Variant CalculaRequisicoes(const rpc::Caller& caller, std::vector<Variant>& args);
    // A branch's requisition items in a period, one row each with its requisition: what
    // the calculations wrote, for a look from krv-call.
    Variant GetItensRequisicao(const rpc::Caller& caller, std::vector<Variant>& args);  // branch; start, end (dates)
    // Order generation.
    // Branch key list (or "T"); start, end; shift list number; grouping keys or "T".
    // Answers the order screen's list; the by-reference arguments are left as sent.
    Variant getRequisicoes(const rpc::Caller& caller, std::vector<Variant>& args);
    // The order screen's whole list packet; current number. Lists its marked rows without
    // an order and answers [number], written into the current number too.
    Variant GetNrListaRequiPedido(const rpc::Caller& caller, std::vector<Variant>& args);
    // Number, blanked; an empty number or a list already gone is fine.
    Variant apagaListaRequiPedido(const rpc::Caller& caller, std::vector<Variant>& args);
    // Branch; start, end; list number; per shift "S"/"N"; operator; current branch;
    // consolidation branch and service, each empty when not consolidated; optionally, "S"
    // to round each order line up to whole packages ("N", the default, orders the sums);
    // optionally, "S" to net the lines of what the kitchens hold (see netOrders()), where
    // every line buys whole packages. Answers [orders made, first number, last number,
    // requisitions met from stock that got no order].
    Variant GeraPedidoPorRequisicao(const rpc::Caller& caller, std::vector<Variant>& args);
    // The same arguments: answers the lines the generation would make now (previewFields()),
    // writes no order, and has the generation that follows make exactly these or nothing.
    Variant PreviaPedidoPorRequisicao(const rpc::Caller& caller, std::vector<Variant>& args);
    // Order key list "_1_2_"; operator; optionally the branch every order must be of.
    // Cancels the orders and frees their requisitions; answers [orders, requisitions freed].
    Variant CancelaPedido(const rpc::Caller& caller, std::vector<Variant>& args);

    // Every kitchen a logistic operator supplies, calculated one by one, each in its own
    // transaction as CalculaRequisicoes would with all its services. Arguments: operator
    // branch; start, end (dates); increase %; rounding "S"/"N"; consumption types;
    // operator; optionally one kitchen of the operator's, alone (how a screen calculates
    // kitchen by kitchen). Answers one row per kitchen (kitchenCalculationPacket()).
    Variant CalculaRequisicoesFiliais(const rpc::Caller& caller, std::vector<Variant>& args);
    // The kitchens a logistic operator supplies, for its batch calculation: IDMARCADO,
    // CDFILIAL, NMFILIAL.
    Variant GetFiliaisOperador(const rpc::Caller& caller, std::vector<Variant>& args);  // operator branch

    // Generated orders read back, those the caller sees only (Permissions::orderViewer()).
    // Kitchen, logistic operator (orders addressed to it) or "T"; start, end (delivery days);
    // situation "A" active, "E" sent, "R" received, "C" cancelled or "T". One row per order (orderFields()).
    Variant GetPedidos(const rpc::Caller& caller, std::vector<Variant>& args);
    // Order number: one row per line (orderLineFields()).
    Variant GetItensPedido(const rpc::Caller& caller, std::vector<Variant>& args);
    // Order number: the requisition items that fed its lines.
    Variant GetRequisicoesPedido(const rpc::Caller& caller, std::vector<Variant>& args);
    // Order key list "_1_2_"; operator. Marks them sent, in one transaction; answers [count].
    Variant MarcaPedidosEnviados(const rpc::Caller& caller, std::vector<Variant>& args);

    // Replaces a logistic operator's consumption forecast of a period with that of every
    // branch it supplies; answers nothing. Arguments: operator branch; start, end (dates);
    // operator.
    Variant CalculaPrevisaoConsumo(const rpc::Caller& caller, std::vector<Variant>& args);
    // The stored forecast of a logistic operator and period, one row per branch, service,
    // day and product, with names and unit: what purchasing gets.
    Variant GetPrevisaoConsumo(const rpc::Caller& caller,
                               std::vector<Variant>& args);  // operator branch; start, end (dates)

    // A requisition's products with their quantity per consumption type.
    Variant GetProdutosRequisicao(const rpc::Caller& caller, std::vector<Variant>& args);  // requisition number
    // Whether the operator has a forecast on any day of the period: true or false.
    Variant ExistePrevisaoConsumo(const rpc::Caller& caller,
                                  std::vector<Variant>& args);  // operator branch; start, end (dates)
    // Why a stored quantity is what it is, as rows that add up to it (see explain()).
    Variant ExplicaItemRequisicao(const rpc::Caller& caller,
                                  std::vector<Variant>& args);  // requisition number; product code
    // Operator branch; supplied branch; service; day (date); product code.
    Variant ExplicaItemPrevisao(const rpc::Caller& caller, std::vector<Variant>& args);

    // What kitchens hold. Kitchen; day (date): one row per product it deals in, with its last
    // count and what is expected at the start of the day (balanceFields()).
    Variant GetSaldoFilial(const rpc::Caller& caller, std::vector<Variant>& args);
    // Kitchen; packet of CDPRODUTO, DTCONTAGEM, QTESTOQUE; operator. Answers [counts saved].
    Variant GravaContagemEstoque(const rpc::Caller& caller, std::vector<Variant>& args);
    // Order key list "_1_2_"; day received (date); operator: every line as ordered. Answers [orders].
    Variant RecebePedidos(const rpc::Caller& caller, std::vector<Variant>& args);
    // Order number; packet of CDPRODUTO, QTRECEBIDA (the lines received otherwise than
    // ordered; the rest as ordered); operator. Received today. Answers [lines received].
    Variant RecebeItensPedido(const rpc::Caller& caller, std::vector<Variant>& args);
    // Order number; product code: why the line buys what it buys (explainOrderLine()).
    Variant ExplicaItemPedido(const rpc::Caller& caller, std::vector<Variant>& args);

private:
    // What both calculations take in args 1 to 6: start, end (dates); increase %; rounding
    // "S"/"N"; consumption types; operator. The request's time too.
    void readCalculationFigures(const rpc::Caller& caller, const std::vector<Variant>& args,
                                CalculationRequest& request);
    // Whose orders the caller sees, once it answers for the kitchens of `orders`.
    OrderViewer orderViewer(const rpc::Caller& caller, const std::vector<int64_t>& orders);
    // An order number argument.
    static int64_t orderNumber(const Variant& value);

    PedReqStore store();                         // on the calling thread's connection
    ListStore lists(const rpc::Caller& caller);  // the caller's lists only
    // A list of the caller's that must exist, of that kind.
    StoredList existingList(const rpc::Caller& caller, int64_t number, ListKind kind);
    // A by-reference current number: empty or gone (or not the caller's) gives nothing to
    // replace; a list of another kind is refused.
    std::optional<int64_t> ownList(const rpc::Caller& caller, const Variant& number, ListKind kind, const char* what);
    // The arguments of GeraPedidoPorRequisicao, checked against the database and the caller.
    OrderRequest orderRequest(const rpc::Caller& caller, const std::vector<Variant>& args);
    // The code of an existing logistic-operator branch the caller answers for.
    std::string logisticOperator(const rpc::Caller& caller, const Variant& code);
    // The caller's role and branches, as they are now.
    Permissions access(const rpc::Caller& caller);
    // A branch code argument that the caller answers for.
    static std::string branchInScope(const Permissions& permissions, const Variant& code);
    // Refuses a list of the caller's whose branch the caller no longer answers for.
    void listInScope(const rpc::Caller& caller, int64_t number);
    // A requisition number argument whose requisition, if any, is of a branch in scope.
    int64_t requisitionInScope(const rpc::Caller& caller, const Variant& value);
    // [number] of a list just stored, written into the by-reference number too.
    Variant answerList(int64_t number, Variant& numberArg, DateTime now);

    db::Database& database_;
    Clock clock_;
    StaleListPurge purge_;
};

}  // namespace krv::server
