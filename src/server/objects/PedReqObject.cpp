#include "server/objects/PedReqObject.h"

#include <cmath>
#include <set>
#include <string>
#include <type_traits>
#include <utility>

#include "core/NumberText.h"
#include "server/access/Permissions.h"
#include "server/checks/Arguments.h"
#include "server/checks/Existing.h"
#include "server/domain/ConsumptionForecast.h"
#include "server/domain/OrderGeneration.h"
#include "server/domain/RequisitionCalculation.h"
#include "server/stores/CalculationStore.h"
#include "server/stores/ForecastStore.h"
#include "server/stores/OrderStore.h"
#include "server/stores/PedReqStore.h"
#include "server/stores/ScopeStore.h"

namespace krv::server {

namespace {

constexpr const char* kBranchCode = "Código da filial";
constexpr size_t kBranchCodeSize = 4;
constexpr size_t kServiceKeySize = 9;  // CDFILIAL‖CDSERVFILI
constexpr size_t kShiftKeySize = 10;   // CDFILIAL‖CDSERVFILI‖CDTURNO
constexpr const char* kServiceListNumber = "Número da lista de serviços";
constexpr const char* kShiftListNumber = "Número da lista de turnos";
constexpr const char* kRequisitionListNumber = "Número da lista de requisições";
// A 700-kitchen month is some 650 000 (about 100 MB of packet, which reaches the screens in
// parts); each listed requisition costs the server and the screen about 1 KiB while it is
// built and shown, so a selection several times that is refused rather than held.
constexpr size_t kMaxListedRequisitions = 1000000;

// Writers that kept colliding past every retry: the user can simply try again, and is told so
// rather than shown the database's own words.
constexpr const char* kBusy = "O banco de dados está ocupado com outras operações ao mesmo tempo. Tente novamente.";

// The items of `all` whose key is among `keys` (nullopt: every item). A key that matches no
// item is refused by name.
template <class Item, class KeyOf, class Unknown>
std::vector<Item> keepSelected(std::vector<Item> all, const std::optional<std::set<std::string>>& keys, KeyOf keyOf,
                               Unknown unknown) {
    if (!keys) return all;
    std::set<std::string> present;
    for (const Item& item : all) present.insert(keyOf(item));
    for (const std::string& key : *keys)
        if (!present.count(key)) refuse(unknown(key));
    std::erase_if(all, [&](const Item& item) { return !keys->count(keyOf(item)); });
    return all;
}

bool isEmptyText(const Variant& value) { return value.isString() && value.str().empty(); }

}  // namespace

void PedReqObject::registerOn(rpc::Dispatcher& dispatcher) {
    using rpc::ArgType;
    // Methods that own lists, take an operator or name branches get the caller; the others do
    // not need it. Whether the caller's role may do the method's action is checked first.
    const auto bind = [this](auto method, Action action) {
        return rpc::CallerMethod([this, method, action](const rpc::Caller& caller, std::vector<Variant>& a) {
            try {
                access(caller).require(action);
                if constexpr (std::is_invocable_v<decltype(method), PedReqObject*, const rpc::Caller&,
                                                  std::vector<Variant>&>)
                    return (this->*method)(caller, a);
                else
                    return (this->*method)(a);
            } catch (const db::Conflict&) {
                refuse(kBusy);
            }
        });
    };
    const ArgType any = ArgType::Any;
    // Every method that opens a write transaction (list making and deleting included).
    const rpc::Access writes = rpc::Access::Writes;
    // Reads whose answers may run to megabytes: a month of items, requisitions or orders.
    const rpc::Access large = rpc::Access::LargeReads;
    dispatcher.add(kName, "GetFilial", {any}, bind(&PedReqObject::GetFilial, Action::Consult));
    dispatcher.add(kName, "GetServico", {any}, bind(&PedReqObject::GetServico, Action::Consult));
    dispatcher.add(kName, "GetAgrupProd", {any}, bind(&PedReqObject::GetAgrupProd, Action::Consult));
    dispatcher.add(kName, "GetTurno", {any}, bind(&PedReqObject::GetTurno, Action::Consult));
    dispatcher.add(writes, kName, "GetNrListaServ", {any, any, any},
                   bind(&PedReqObject::GetNrListaServ, Action::Consult));
    dispatcher.add(writes, kName, "GetNrListaTurno", {any, any, any},
                   bind(&PedReqObject::GetNrListaTurno, Action::Consult));
    dispatcher.add(writes, kName, "apagaListas", {any, any, any, any},
                   bind(&PedReqObject::apagaListas, Action::Consult));
    dispatcher.add(writes, kName, "CalculaRequisicoes", std::vector<ArgType>(11, any),
                   bind(&PedReqObject::CalculaRequisicoes, Action::CalculateRequisitions));
    dispatcher.add(large, kName, "GetItensRequisicao", {any, any, any},
                   bind(&PedReqObject::GetItensRequisicao, Action::ReadRequisitions));
    dispatcher.add(large, kName, "getRequisicoes", {any, any, any, any, any},
                   bind(&PedReqObject::getRequisicoes, Action::OrderScreen));
    dispatcher.add(writes, kName, "GetNrListaRequiPedido", {any, any, any},
                   bind(&PedReqObject::GetNrListaRequiPedido, Action::OrderScreen), 1);
    dispatcher.add(writes, kName, "apagaListaRequiPedido", {any},
                   bind(&PedReqObject::apagaListaRequiPedido, Action::Consult));
    dispatcher.add(writes, kName, "GeraPedidoPorRequisicao", std::vector<ArgType>(11, any),
                   bind(&PedReqObject::GeraPedidoPorRequisicao, Action::GenerateOrders), 2);
    dispatcher.add(writes, kName, "PreviaPedidoPorRequisicao", std::vector<ArgType>(11, any),
                   bind(&PedReqObject::PreviaPedidoPorRequisicao, Action::PreviewOrders), 2);
    dispatcher.add(writes, kName, "CancelaPedido", {any, any, any},
                   bind(&PedReqObject::CancelaPedido, Action::CancelOrders), 1);
    dispatcher.add(writes, kName, "CalculaRequisicoesFiliais", std::vector<ArgType>(8, any),
                   bind(&PedReqObject::CalculaRequisicoesFiliais, Action::BatchCalculation), 1);
    dispatcher.add(kName, "GetFiliaisOperador", {any},
                   bind(&PedReqObject::GetFiliaisOperador, Action::BatchCalculation));
    dispatcher.add(large, kName, "GetPedidos", {any, any, any, any},
                   bind(&PedReqObject::GetPedidos, Action::ListOrders));
    dispatcher.add(large, kName, "GetItensPedido", {any}, bind(&PedReqObject::GetItensPedido, Action::ListOrders));
    dispatcher.add(large, kName, "GetRequisicoesPedido", {any},
                   bind(&PedReqObject::GetRequisicoesPedido, Action::ListOrders));
    dispatcher.add(writes, kName, "MarcaPedidosEnviados", {any, any},
                   bind(&PedReqObject::MarcaPedidosEnviados, Action::MarkOrdersSent));
    dispatcher.add(large, kName, "GetSaldoFilial", {any, any}, bind(&PedReqObject::GetSaldoFilial, Action::Consult));
    dispatcher.add(writes, kName, "GravaContagemEstoque", {any, any, any},
                   bind(&PedReqObject::GravaContagemEstoque, Action::CountStock));
    dispatcher.add(writes, kName, "RecebePedidos", {any, any, any},
                   bind(&PedReqObject::RecebePedidos, Action::ReceiveOrders));
    dispatcher.add(writes, kName, "RecebeItensPedido", {any, any, any},
                   bind(&PedReqObject::RecebeItensPedido, Action::ReceiveOrders));
    dispatcher.add(kName, "ExplicaItemPedido", {any, any}, bind(&PedReqObject::ExplicaItemPedido, Action::ListOrders));
    dispatcher.add(writes, kName, "CalculaPrevisaoConsumo", {any, any, any, any},
                   bind(&PedReqObject::CalculaPrevisaoConsumo, Action::Forecast));
    dispatcher.add(large, kName, "GetPrevisaoConsumo", {any, any, any},
                   bind(&PedReqObject::GetPrevisaoConsumo, Action::ReadForecast));
    dispatcher.add(large, kName, "GetProdutosRequisicao", {any},
                   bind(&PedReqObject::GetProdutosRequisicao, Action::ReadRequisitions));
    dispatcher.add(kName, "ExistePrevisaoConsumo", {any, any, any},
                   bind(&PedReqObject::ExistePrevisaoConsumo, Action::ReadForecast));
    dispatcher.add(kName, "ExplicaItemRequisicao", {any, any},
                   bind(&PedReqObject::ExplicaItemRequisicao, Action::ReadRequisitions));
    dispatcher.add(kName, "ExplicaItemPrevisao", std::vector<ArgType>(5, any),
                   bind(&PedReqObject::ExplicaItemPrevisao, Action::ReadForecast));
}

Variant PedReqObject::GetFilial(const rpc::Caller& caller, std::vector<Variant>& args) {
    const Permissions permissions = access(caller);
    if (args.at(0).isString() && args[0].str() == "T") {
        DataPacket branches = store().allBranches();
        std::erase_if(branches.rows, [&](const Row& row) { return !permissions.covers(row[1].asString()); });
        return branches;
    }
    return store().branch(branchInScope(permissions, args[0]));
}

Variant PedReqObject::GetServico(const rpc::Caller& caller, std::vector<Variant>& args) {
    return store().services(branchInScope(access(caller), args.at(0)));
}

Variant PedReqObject::GetAgrupProd(const rpc::Caller& caller, std::vector<Variant>& args) {
    return store().groupings(branchInScope(access(caller), args.at(0)));
}

Variant PedReqObject::GetTurno(const rpc::Caller& caller, std::vector<Variant>& args) {
    const int64_t services = *requireListNumber(args.at(0), kServiceListNumber, false);
    existingList(caller, services, ListKind::Services);
    listInScope(caller, services);
    return store().shiftsOfList(services);
}

Variant PedReqObject::GetNrListaServ(const rpc::Caller& caller, std::vector<Variant>& args) {
    const std::string branch = branchInScope(access(caller), args.at(0));
    const auto keys = requireSelection(args.at(1), "Seleção de serviços", kServiceKeySize);
    const auto renewed = ownList(caller, args.at(2), ListKind::Services, "Número da lista de serviços atual");
    requireBranch(database_.connection(), branch);
    const std::vector<std::string> services = keepSelected(
        store().serviceCodes(branch), keys, [&](const std::string& service) { return branch + service; },
        [&](const std::string& key) { return "Serviço " + key + " não cadastrado na filial " + branch + "."; });
    const DateTime now = clock_();
    return answerList(lists(caller).storeServices(branch, services, renewed, now), args[2], now);
}

Variant PedReqObject::GetNrListaTurno(const rpc::Caller& caller, std::vector<Variant>& args) {
    const int64_t services = *requireListNumber(args.at(0), kServiceListNumber, false);
    const auto renewed = ownList(caller, args.at(1), ListKind::Shifts, "Número da lista de turnos atual");
    const auto keys = requireSelection(args.at(2), "Seleção de turnos", kShiftKeySize);
    existingList(caller, services, ListKind::Services);
    listInScope(caller, services);
    const std::vector<Row> chosen = keepSelected(
        store().shiftsOfList(services).rows, keys, [](const Row& row) { return row[1].asString(); },
        [&](const std::string& key) {
            return "Turno " + key + " não cadastrado para os serviços da lista " + std::to_string(services) + ".";
        });
    const std::string branch = lists(caller).branchOf(services).value_or("");
    std::vector<ShiftKey> shifts;
    for (const Row& shift : chosen) shifts.emplace_back(branch, shift[2].asString(), shift[4].asString());
    const DateTime now = clock_();
    return answerList(lists(caller).storeShifts(shifts, !keys, renewed, now), args[1], now);
}

Variant PedReqObject::apagaListas(const rpc::Caller& caller, std::vector<Variant>& args) {
    std::vector<std::pair<int64_t, ListKind>> gone;
    const std::pair<ListKind, const char*> numbers[] = {{ListKind::Services, kServiceListNumber},
                                                        {ListKind::Shifts, "Número da lista de turnos"},
                                                        {ListKind::Calculation, "Número da lista do cálculo"}};
    for (size_t i = 0; i < std::size(numbers); ++i)
        if (const auto number = ownList(caller, args.at(i), numbers[i].first, numbers[i].second))
            gone.emplace_back(*number, numbers[i].first);
    if (!isEmptyText(args.at(3))) requireCode(args[3], "Código da filial do cálculo", kBranchCodeSize);
    lists(caller).remove(gone);
    for (size_t i = 0; i < std::size(numbers); ++i) args[i] = Variant(std::string());
    return Variant();
}

Variant PedReqObject::CalculaRequisicoes(const rpc::Caller& caller, std::vector<Variant>& args) {
    const Permissions permissions = access(caller);
    CalculationRequest request;
    request.branch = branchInScope(permissions, args.at(0));
    readCalculationFigures(caller, args, request);
    request.entryBranch = requireCode(args.at(7), "Código da filial corrente", kBranchCodeSize);
    permissions.requireBranch(request.entryBranch);
    const int64_t services = *requireListNumber(args.at(8), kServiceListNumber, false);
    const auto renewed = ownList(caller, args.at(9), ListKind::Calculation, "Número da lista do cálculo anterior");
    if (!isEmptyText(args.at(10))) requireCode(args[10], "Código da filial do cálculo anterior", kBranchCodeSize);

    db::Connection& connection = database_.connection();
    const auto supply = CalculationStore(connection).supplyOf(request.branch);
    if (!supply) refuse("Filial " + request.branch + " não cadastrada.");
    if (supply->logisticOperator)
        refuse("A filial " + request.branch + " é um operador logístico: dela só se calcula a previsão de consumo.");
    if (!supply->supplier) refuse("A filial " + request.branch + " não tem operador logístico que a abasteça.");
    request.supplier = *supply->supplier;
    requireBranch(connection, request.entryBranch, "Filial corrente");
    existingList(caller, services, ListKind::Services);
    if (lists(caller).holdsOtherBranches(services, request.branch))
        refuse("A lista de serviços " + std::to_string(services) + " não é da filial " + request.branch + ".");
    request.serviceList = services;

    const CalculationOutcome outcome = calculateRequisitions(connection, request, renewed);
    purge_.runIfDue(connection, request.now);
    const std::string number = std::to_string(outcome.list);
    args[9] = Variant(number);
    args[10] = Variant(request.branch);
    // Element 0 is what the screen needs; the rest tells the user what was written.
    const CalculationGaps& gaps = outcome.gaps;
    Variant::Array answer{Variant(number), Variant(outcome.requisitions), Variant(outcome.items),
                          Variant(gaps.servicesWithoutMenuText())};
    // Each further kind as the first few named and how many there are.
    for (const auto* names : {&gaps.shiftsWithoutDiners, &gaps.fixedDaysWithoutDiners, &gaps.dinersWithoutMenu,
                              &gaps.dishesWithoutRecipe}) {
        answer.push_back(Variant(firstFew(*names)));
        answer.push_back(Variant(int64_t(names->size())));
    }
    return Variant(std::move(answer));
}

void PedReqObject::readCalculationFigures(const rpc::Caller& caller, const std::vector<Variant>& args,
                                          CalculationRequest& request) {
    const Period period = requirePeriod(args.at(1), args.at(2), kMaxCalculationDays);
    request.start = period.start;
    request.end = period.end;
    const Variant& increase = args.at(3);
    if (!increase.isNumber() || !std::isfinite(increase.asDouble()) || increase.asDouble() < 0 ||
        increase.asDouble() > 1000)
        refuse("Acréscimo deve ser um número de 0 a 1000.");
    request.increase = increase.asDouble();
    requireText(args.at(4), "Arredondamento", 1, false);
    request.roundToPackage = requireFlag(args[4], "Arredondamento");
    const auto types = ConsumptionTypes::parse(requireText(args.at(5), "Tipos de consumo", 3, false));
    if (!types) refuse("Tipos de consumo deve ter três letras, C ou X, F ou X, P ou X, com ao menos um tipo marcado.");
    request.types = *types;
    request.operatorCode = requireOperator(args.at(6), caller);
    request.now = clock_();
}

Variant PedReqObject::GetItensRequisicao(const rpc::Caller& caller, std::vector<Variant>& args) {
    const std::string branch = branchInScope(access(caller), args.at(0));
    const auto [start, end] = requirePeriod(args.at(1), args.at(2), kMaxCalculationDays);
    return CalculationStore(database_.connection()).items(branch, start, end);
}

Variant PedReqObject::getRequisicoes(const rpc::Caller& caller, std::vector<Variant>& args) {
    OrderStore::Filter filter;
    filter.branches = access(caller).narrow(requireSelection(args.at(0), "Seleção de filiais", kBranchCodeSize));
    filter.period = requirePeriod(args.at(1), args.at(2));
    // The shift list is the requisition screen's branch's, while the order screen may list
    // other branches too: chosen shifts are taken by their service and shift codes in every
    // branch, and a list made from "Todos" narrows nothing.
    const int64_t shifts = *requireListNumber(args.at(3), kShiftListNumber, false);
    filter.groupings = requireGroupingSelection(args.at(4));
    if (!existingList(caller, shifts, ListKind::Shifts).wholeSelection) filter.shiftList = shifts;
    filter.atMost = kMaxListedRequisitions;
    DataPacket list = OrderStore(database_.connection()).requisitions(filter);
    if (list.rows.size() > kMaxListedRequisitions)
        refuse("A seleção tem mais de " + countText(int64_t(kMaxListedRequisitions)) +
               " requisições, mais do que a tela recebe de uma vez. Escolha um período menor, menos filiais ou "
               "menos agrupamentos.");
    return list;
}

Variant PedReqObject::GetNrListaRequiPedido(const rpc::Caller& caller, std::vector<Variant>& args) {
    const auto renewed = ownList(caller, args.at(1), ListKind::Requisitions, kRequisitionListNumber);
    // A caller that keeps its own copy says "N" and the list does not travel back with the answer.
    const bool sendBack = args.size() < 3 || requireFlag(args[2], "Devolver a lista");
    const auto rows = requisitionsToList(database_.connection(), args.at(0));
    const Permissions permissions = access(caller);
    for (const ListedRequisition& row : rows) permissions.requireBranch(row.branch);
    if (!sendBack) args[0] = Variant();
    const DateTime now = clock_();
    return answerList(OrderStore(database_.connection()).storeList(rows, caller.operatorName, renewed, now), args[1],
                      now);
}

Variant PedReqObject::apagaListaRequiPedido(const rpc::Caller& caller, std::vector<Variant>& args) {
    if (const auto number = ownList(caller, args.at(0), ListKind::Requisitions, kRequisitionListNumber))
        lists(caller).remove({{*number, ListKind::Requisitions}});
    args[0] = Variant(std::string());
    return Variant();
}

OrderRequest PedReqObject::orderRequest(const rpc::Caller& caller, const std::vector<Variant>& args) {
    const Permissions permissions = access(caller);
    const std::string branch = branchInScope(permissions, args.at(0));
    OrderRequest request;
    request.period = requirePeriod(args.at(1), args.at(2));
    request.list = *requireListNumber(args.at(3), kRequisitionListNumber, false);
    request.perShift = requireFlag(args.at(4), "Gerar pedido por turno");
    request.operatorCode = requireOperator(args.at(5), caller);
    request.currentBranch = requireCode(args.at(6), "Filial atual", kBranchCodeSize);
    permissions.requireBranch(request.currentBranch);
    const auto optionalCode = [&](size_t i, const char* what, size_t size) -> std::optional<std::string> {
        if (args.at(i).isString() && args[i].str().empty()) return std::nullopt;
        return requireCode(args[i], what, size);
    };
    request.branch = optionalCode(7, "Filial de consolidação", kBranchCodeSize);
    if (request.branch) permissions.requireBranch(*request.branch);
    request.service = optionalCode(8, "Serviço de consolidação", 5);
    request.roundToPackage = args.size() > 9 && requireFlag(args[9], "Arredondar no pedido");
    request.netStock = args.size() > 10 && requireFlag(args[10], "Descontar saldo e sobras");
    request.now = clock_();

    for (const std::string& code : {branch, request.currentBranch, request.branch.value_or(branch)})
        requireBranch(database_.connection(), code);
    if (request.service && !OrderStore(database_.connection()).isServiceOf(branch, *request.service))
        refuse("Serviço " + *request.service + " não cadastrado na filial " + branch + ".");
    existingList(caller, request.list, ListKind::Requisitions);
    permissions.requireBranches(ScopeStore(database_.connection()).branchesOfRequisitionList(request.list));
    return request;
}

Variant PedReqObject::GeraPedidoPorRequisicao(const rpc::Caller& caller, std::vector<Variant>& args) {
    const OrderRequest request = orderRequest(caller, args);
    const GeneratedOrders made = generateOrders(database_.connection(), request);
    Variant::Array answer{Variant(made.count), Variant(made.first), Variant(made.last)};
    // Only a netted generation may leave requisitions without an order; callers that do not net keep their answer.
    if (request.netStock) answer.emplace_back(made.metFromStock);
    return Variant(std::move(answer));
}

Variant PedReqObject::CalculaPrevisaoConsumo(const rpc::Caller& caller, std::vector<Variant>& args) {
    ForecastRequest request;
    request.logisticOperator = logisticOperator(caller, args.at(0));
    const Period period = requirePeriod(args.at(1), args.at(2), kMaxCalculationDays);
    request.start = period.start;
    request.end = period.end;
    request.operatorCode = requireOperator(args.at(3), caller);
    request.now = clock_();
    calculateForecast(database_.connection(), request);
    return Variant();
}

Variant PedReqObject::GetPrevisaoConsumo(const rpc::Caller& caller, std::vector<Variant>& args) {
    const std::string branch = logisticOperator(caller, args.at(0));
    const auto [start, end] = requirePeriod(args.at(1), args.at(2), kMaxCalculationDays);
    return ForecastStore(database_.connection()).rows(branch, start, end);
}

std::string PedReqObject::logisticOperator(const rpc::Caller& caller, const Variant& code) {
    const std::string branch = branchInScope(access(caller), code);
    const auto supply = CalculationStore(database_.connection()).supplyOf(branch);
    if (!supply) refuse("Filial " + branch + " não cadastrada.");
    if (!supply->logisticOperator)
        refuse("A filial " + branch +
               " não é um operador logístico: a previsão de consumo só se calcula para"
               " operadores logísticos.");
    return branch;
}

StoredList PedReqObject::existingList(const rpc::Caller& caller, int64_t number, ListKind kind) {
    ListStore lists = this->lists(caller);
    return server::existingList(lists, number, kind, clock_());
}

std::optional<int64_t> PedReqObject::ownList(const rpc::Caller& caller, const Variant& number, ListKind kind,
                                             const char* what) {
    ListStore lists = this->lists(caller);
    return server::ownList(lists, number, kind, what, clock_());
}

Variant PedReqObject::answerList(int64_t number, Variant& numberArg, DateTime now) {
    purge_.runIfDue(database_.connection(), now);
    numberArg = Variant(std::to_string(number));
    return Variant(Variant::Array{numberArg});
}

PedReqStore PedReqObject::store() { return PedReqStore(database_.connection()); }

Permissions PedReqObject::access(const rpc::Caller& caller) { return Permissions::of(database_.connection(), caller); }

std::string PedReqObject::branchInScope(const Permissions& permissions, const Variant& code) {
    std::string branch = requireCode(code, kBranchCode, kBranchCodeSize);
    permissions.requireBranch(branch);
    return branch;
}

void PedReqObject::listInScope(const rpc::Caller& caller, int64_t number) {
    if (const auto branch = lists(caller).branchOf(number)) access(caller).requireBranch(*branch);
}

ListStore PedReqObject::lists(const rpc::Caller& caller) {
    return ListStore(database_.connection(), caller.operatorName);
}

}  // namespace krv::server
