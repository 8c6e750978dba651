// Who may act for which kitchen: every remote method refuses a role that may not do it and a
// branch outside the caller's scope, exactly in these words and changing nothing; what the
// role may do for its own branches goes through.
#include <gtest/gtest.h>

#include <functional>

#include "OrderCases.h"
#include "rpc/Client.h"
#include "server/access/Permissions.h"
#include "server/objects/ReportObject.h"
#include "server/objects/SessionObject.h"
#include "server/service/OperatorCommand.h"

using namespace krv;
using namespace krv::server::test::orders;
using krv::server::Action;
using krv::server::OperatorStore;
using krv::server::PedReqObject;
using krv::server::ReportObject;
using krv::server::Role;
using krv::server::test::TestServer;

namespace {

class Access : public server::test::EngineTest {};
KRV_ON_BOTH_ENGINES(Access);

// Each operator's own lists, made while it could still do everything.
struct Lists {
    std::string services, shifts, requisitions;
};

Lists listsOf(const TestServer& server, const DataPacket& marked) {
    Lists lists;
    lists.services = numberIn(call(server, "GetNrListaServ", {"0001", "T", ""}));
    lists.shifts = numberIn(call(server, "GetNrListaTurno", {lists.services, "", "T"}));
    lists.requisitions = requisitionList(server, marked);
    return lists;
}

// "Host.rdmRelatorio".GetDados's arguments for an order document of `branch` over the two days.
Args orderReport(const char* code, const char* branch, std::vector<std::pair<std::string, Variant>> more) {
    Variant::Array params{Variant(Variant::Array{"P_CDFILIAL", branch}), Variant(Variant::Array{"P_DATAINI", kDay1}),
                          Variant(Variant::Array{"P_DATAFIN", kDay2})};
    for (auto& [name, value] : more) params.push_back(Variant(Variant::Array{name, value}));
    return {code, Variant(std::move(params))};
}

struct Method {
    const char* object;
    const char* method;
    Action action;
    const char* branch;  // the one an operator outside the scope is refused for
    std::function<Args(const Lists&, const std::string& who)> args;
};

}  // namespace

TEST_P(Access, EachRoleAgainstEachMethodWithABranchInAndOutOfItsScope) {
    TestServer server(engine());
    HandCase hand(server);
    const int64_t r1 =
        std::find_if(hand.names.begin(), hand.names.end(), [](auto& n) { return n.second == "R1"; })->first;
    const std::string meat = firstProduct(server, "0101");
    const auto quiet = kDay1.addDays(5);
    const DataPacket marked =
        marking(listed(server, "_0001_", shiftList(server)),
                hand.all());  // no requisition of the hand case: a calculation orders nothing away
    const std::vector<Method> methods = {
        {PedReqObject::kName, "GetFilial", Action::Consult, "0001", [](auto&, auto&) { return Args{"0001"}; }},
        {PedReqObject::kName, "GetServico", Action::Consult, "0001", [](auto&, auto&) { return Args{"0001"}; }},
        {PedReqObject::kName, "GetAgrupProd", Action::Consult, "0001", [](auto&, auto&) { return Args{"0001"}; }},
        {PedReqObject::kName, "GetTurno", Action::Consult, "0001", [](auto& l, auto&) { return Args{l.services}; }},
        {PedReqObject::kName, "GetNrListaServ", Action::Consult, "0001",
         [](auto&, auto&) {
             return Args{"0001", "T", ""};
         }},
        {PedReqObject::kName, "GetNrListaTurno", Action::Consult, "0001",
         [](auto& l, auto&) {
             return Args{l.services, "", "T"};
         }},
        {PedReqObject::kName, "GetItensRequisicao", Action::ReadRequisitions, "0001",
         [](auto&, auto&) {
             return Args{"0001", kDay1, kDay2};
         }},
        {PedReqObject::kName, "GetProdutosRequisicao", Action::ReadRequisitions, "0001",
         [&](auto&, auto&) { return Args{r1}; }},
        {PedReqObject::kName, "ExplicaItemRequisicao", Action::ReadRequisitions, "0001",
         [&](auto&, auto&) {
             return Args{r1, meat};
         }},
        {ReportObject::kName, "GetDados", Action::ReadRequisitions, "0001",
         [](auto& l, auto&) { return requisitionReport(l.services, l.shifts); }},
        {PedReqObject::kName, "getRequisicoes", Action::OrderScreen, "0001",
         [](auto& l, auto&) {
             return Args{"_0001_", kDay1, kDay2, l.shifts, "T"};
         }},
        {PedReqObject::kName, "GetNrListaRequiPedido", Action::OrderScreen, "0001",
         [&](auto&, auto&) {
             return Args{Variant(marked), ""};
         }},
        {PedReqObject::kName, "PreviaPedidoPorRequisicao", Action::PreviewOrders, "0001",
         [](auto& l, auto& who) { return Args{"0001", kDay1, kDay2, l.requisitions, "S", who, "0001", "", ""}; }},
        {PedReqObject::kName, "GetPrevisaoConsumo", Action::ReadForecast, "0007",
         [](auto&, auto&) {
             return Args{"0007", kDay1, kDay2};
         }},
        {PedReqObject::kName, "ExistePrevisaoConsumo", Action::ReadForecast, "0007",
         [](auto&, auto&) {
             return Args{"0007", kDay1, kDay2};
         }},
        {PedReqObject::kName, "CalculaRequisicoes", Action::CalculateRequisitions, "0001",
         [&](auto& l, auto& who) {
             return Args{"0001", quiet, quiet, 0.0, "N", "CFP", who, "0001", l.services, "", ""};
         }},
        {PedReqObject::kName, "ExplicaItemPrevisao", Action::ReadForecast, "0007",
         [&](auto&, auto&) {
             return Args{"0007", "0001", "0004", kDay1, meat};
         }},
        {PedReqObject::kName, "CalculaPrevisaoConsumo", Action::Forecast, "0007",
         [](auto&, auto& who) {
             return Args{"0007", kDay1, kDay2, who};
         }},
        {PedReqObject::kName, "CancelaPedido", Action::CancelOrders, "0001",
         [](auto&, auto& who) {
             return Args{"_500_", who};
         }},
        {PedReqObject::kName, "GeraPedidoPorRequisicao", Action::GenerateOrders, "0001",
         [](auto& l, auto& who) { return Args{"0001", kDay1, kDay2, l.requisitions, "S", who, "0001", "", ""}; }},
        {PedReqObject::kName, "GetPedidos", Action::ListOrders, "0001",
         [](auto&, auto&) {
             return Args{"0001", kDay1, kDay2, "T"};
         }},
        {PedReqObject::kName, "GetItensPedido", Action::ListOrders, "0001",
         [](auto&, auto&) { return Args{int64_t(500)}; }},
        {PedReqObject::kName, "GetRequisicoesPedido", Action::ListOrders, "0001",
         [](auto&, auto&) { return Args{int64_t(500)}; }},
        {PedReqObject::kName, "ExplicaItemPedido", Action::ListOrders, "0001",
         [&](auto&, auto&) {
             return Args{int64_t(500), meat};
         }},
        {PedReqObject::kName, "GetSaldoFilial", Action::Consult, "0001",
         [](auto&, auto&) {
             return Args{"0001", kDay1};
         }},
        {PedReqObject::kName, "GravaContagemEstoque", Action::CountStock, "0001",
         [&](auto&, auto& who) {
             return Args{"0001",
                         Variant(DataPacket{{{"CDPRODUTO", FieldType::String, 10},
                                             {"DTCONTAGEM", FieldType::DateTime, 0},
                                             {"QTESTOQUE", FieldType::Float, 0}},
                                            {{Variant(meat), Variant(kDay1), Variant(2.0)}}}),
                         who};
         }},
        {PedReqObject::kName, "RecebeItensPedido", Action::ReceiveOrders, "0001",
         [&](auto&, auto& who) {
             return Args{int64_t(500),
                         Variant(DataPacket{{{"CDPRODUTO", FieldType::String, 10}, {"QTRECEBIDA", FieldType::Float, 0}},
                                            {{Variant(meat), Variant(1.0)}}}),
                         who};
         }},
        {PedReqObject::kName, "RecebePedidos", Action::ReceiveOrders, "0001",
         [](auto&, auto& who) {
             return Args{"_500_", kDay1, who};
         }},
        {ReportObject::kName, "GetDados", Action::ListOrders, "0001",
         [](auto&, auto&) {
             return orderReport("KRV521", "0001", {{"P_PEDIDOS", "_500_"}, {"P_IDQUEBRAPAGINA", "N"}});
         }},
        {ReportObject::kName, "GetDados", Action::PickLists, "0007",
         [](auto&, auto&) {
             return orderReport("KRV522", "0007", {{"P_IDRESUMO", "N"}});
         }},
        {PedReqObject::kName, "MarcaPedidosEnviados", Action::MarkOrdersSent, "0001",
         [](auto&, auto& who) {
             return Args{"_500_", who};
         }},
        {PedReqObject::kName, "GetFiliaisOperador", Action::BatchCalculation, "0007",
         [](auto&, auto&) { return Args{"0007"}; }},
        {PedReqObject::kName, "CalculaRequisicoesFiliais", Action::BatchCalculation, "0007",
         [&](auto&, auto& who) { return Args{"0007", quiet, quiet, 0.0, "N", "CFP", who, "0001"}; }},
    };
    // Each role twice: answering for the kitchen the calls name (0001; the logistic operator
    // through 0007, which supplies it) and for another kitchen only.
    const struct {
        Role role;
        std::set<std::string> in, out;
    } roles[] = {{Role::Kitchen, {"0001"}, {"0002"}},
                 {Role::Purchasing, {"0007"}, {"0002"}},
                 {Role::Logistics, {"0007"}, {"0002"}},
                 {Role::Administrator, {"0001", "0007"}, {"0002"}}};
    const auto nameOf = [](Role role, bool inScope) {
        return std::string("OP") + char('A' + int(role)) + (inScope ? "IN" : "OUT");
    };
    std::map<std::string, Lists> lists;
    for (const auto& r : roles)
        for (const bool inScope : {false, true}) {
            const std::string who = nameOf(r.role, inScope);
            server.addOperator(who, "senha do teste");
            server.caller.operatorName = who;
            lists[who] = listsOf(server, marked);  // still an administrator of every branch
        }
    for (const auto& r : roles)
        for (const bool inScope : {false, true}) {
            const std::string who = nameOf(r.role, inScope);
            SCOPED_TRACE(who);
            server.caller.operatorName = who;
            // The new role counts from the next call, on the same session.
            OperatorStore(server.sql()).saveGrant(who, server::roleName(r.role), inScope ? r.in : r.out);
            for (const Method& m : methods) {
                SCOPED_TRACE(m.method);
                const std::string before = server.content(server::test::allTables());
                const rpc::Outcome outcome = server.dispatch(m.object, m.method, m.args(lists.at(who), who));
                ASSERT_TRUE(outcome.ok);
                const Variant::Array& answer = outcome.result.array();
                if (!server::allows(r.role, m.action) || !inScope) {
                    const std::string refusal = !server::allows(r.role, m.action)
                                                    ? "Operador " + who + " (" + server::roleName(r.role) +
                                                          ") não pode " + server::actionWords(m.action) + "."
                                                    : "Operador " + who + " não atende a filial " + m.branch + ".";
                    EXPECT_EQ(answer.at(0), Variant(false));
                    EXPECT_EQ(answer.at(1).asString(), refusal);
                    EXPECT_EQ(server.content(server::test::allTables()), before) << "a refusal changes nothing";
                } else if (answer.at(0) != Variant(true)) {
                    // Allowed and in scope: only the method's own reasons may stop it.
                    const std::string message = answer.at(1).asString();
                    EXPECT_EQ(message.find("Operador " + who), std::string::npos) << message;
                }
            }
        }
}

TEST_P(Access, LookupsOfferOnlyTheBranchesInScopeAndTheSessionLearnsRoleAndRefusals) {
    TestServer server(engine());
    server.addOperator("COZ", "senha do teste");
    OperatorStore(server.sql()).saveGrant("COZ", "cozinha", std::set<std::string>{"0002", "0003"});
    server.addOperator("LOG", "senha do teste");
    OperatorStore(server.sql()).saveGrant("LOG", "operador logístico", std::set<std::string>{"0007"});
    const auto branches = [&](const std::string& who) {
        server.caller.operatorName = who;
        Args all{"T"};
        return server::test::columnOf(server.call(PedReqObject::kName, "GetFilial", all).packet(), "CDFILIAL");
    };
    EXPECT_EQ(branches("COZ"), (Texts{"0002", "0003"}));
    EXPECT_EQ(branches("LOG"), (Texts{"0001", "0002", "0003", "0004", "0005", "0006", "0007"}))
        << "a logistic operator answers for the kitchens it supplies";
    EXPECT_EQ(branches(kOperator).size(), 7u) << "operators from before answer for every branch";
    server.caller.operatorName = "";  // the shared token's session
    EXPECT_EQ(branches("").size(), 7u);

    server.caller.operatorName = "COZ";
    Args none;
    const Variant access = server.call(server::SessionObject::kName, "GetAcesso", none);
    EXPECT_EQ(access.array().at(0), Variant("cozinha"));
    EXPECT_EQ(access.array().at(1), Variant(Variant::Array{"0002", "0003"}));
    const Variant::Array& refused = access.array().at(2).array();
    const auto generate = std::find_if(refused.begin(), refused.end(),
                                       [](const Variant& a) { return a.array().at(0) == Variant("gerar pedidos"); });
    ASSERT_NE(generate, refused.end());
    EXPECT_EQ(generate->array().at(1), Variant("Operador COZ (cozinha) não pode gerar pedidos."));
    EXPECT_EQ(refused.size(), 9u)
        << "a kitchen consults, calculates and reads requisitions, and lists, receives and counts for its kitchens";

    OperatorStore(server.sql()).saveGrant("COZ", "compras", std::set<std::string>{"0002"});
    // The whole selection is narrowed to the scope, while a chosen branch outside it is refused.
    EXPECT_EQ(server.failure(PedReqObject::kName, "getRequisicoes", {"_0001_0002_", kDay1, kDay2, "1", "T"}),
              "Operador COZ não atende a filial 0001.");
}

TEST_P(Access, ALogisticOperatorSeesEveryOrderOfItsKitchensAndABuyerOnlyItsOwn) {
    TestServer server(engine());
    HandCase hand(server);  // order 500, kitchen 0001 to logistic operator 0007, by kOperator
    const struct {
        const char* who;
        const char* role;
        std::set<std::string> scope;
        size_t seen;
    } viewers[] = {{"LOG", "operador logístico", {"0007"}, 1},
                   {"LOGFORA", "operador logístico", {"0002"}, 0},
                   {"COMPRAS", "compras", {"0001"}, 0}};
    for (const auto& v : viewers) {
        server.addOperator(v.who, "senha do teste");
        OperatorStore(server.sql()).saveGrant(v.who, v.role, v.scope);
        server.caller.operatorName = v.who;
        Args all{"T", kDay1, kDay2, "T"};
        EXPECT_EQ(server.call(PedReqObject::kName, "GetPedidos", all).packet().rows.size(), v.seen) << v.who;
    }
}

TEST_P(Access, ADeactivatedOperatorIsRefusedAtItsNextCallAndAtLogin) {
    TestServer server(engine());
    server.addOperator("OUTRA", "senha do teste");
    server.caller.operatorName = "OUTRA";
    Args all{"T"};
    server.call(PedReqObject::kName, "GetFilial", all);
    OperatorStore(server.sql()).setActive("OUTRA", false);
    EXPECT_EQ(server.failure(PedReqObject::kName, "GetFilial", {"T"}), "Operador OUTRA está desativado.");
    EXPECT_EQ(server.failure(server::SessionObject::kName, "DataProc", {"0001"}), "Operador OUTRA está desativado.");

    {
        // A login of its own, whose end writes the last logins still noted.
        server::OperatorLogin login(server.app->database(), server::HashCost::Minimal, {}, nullptr);
        rpc::ServerOptions options;
        options.login = login.function();
        rpc::Server transport(server.app->dispatcher(), options);
        transport.start();
        rpc::Client client;
        EXPECT_THROW(client.connect(TestServer::endpoint(transport.port(), "OUTRA", "senha do teste")), ENetError);
        client.connect(TestServer::endpoint(transport.port()));
        transport.stop();
    }
    EXPECT_TRUE(OperatorStore(server.sql()).grant(kOperator)->lastLogin) << "the accepted login is noted";
    EXPECT_FALSE(OperatorStore(server.sql()).grant("OUTRA")->lastLogin) << "the refused one is not";
}
