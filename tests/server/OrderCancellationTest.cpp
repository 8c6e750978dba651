// Cancelling orders: kept and dated, their requisitions freed, refused by number, and safe
// against a generation or a recalculation of the same requisitions at the same moment.
#include <gtest/gtest.h>

#include <memory>
#include <thread>

#include "OrderCases.h"
#include "ServerProcess.h"
#include "rpc/Client.h"
#include "server/domain/OrderCancellation.h"

using namespace krv;
using namespace krv::server::test::orders;
using krv::server::PedReqObject;
using krv::server::test::TestServer;
namespace test = krv::server::test;
namespace db = krv::server::db;

namespace {

// "_1_2_" of the orders of these requisitions, each once.
std::string ordersOfRequisitions(const TestServer& server, const std::string& where) {
    std::string keys = "_";
    server.sql().each("SELECT DISTINCT nrpedexol FROM requisition r WHERE nrpedexol IS NOT NULL AND " + where +
                          " ORDER BY nrpedexol",
                      {}, [&](const db::ResultRow& r) { keys += std::to_string(r.integer(0)) + "_"; });
    return keys;
}

// A raw-material recalculation of branch 0001 over `days` days from the first, all services.
Args recalculation(const TestServer& server, int days = 1) {
    const std::string services = numberIn(call(server, "GetNrListaServ", {"0001", "T", ""}));
    return {"0001", kDay1, kDay1.addDays(days - 1), 0.0, "N", "CXX", kOperator, "0001", services, "", ""};
}

class OrderCancellation : public test::EngineTest {};
KRV_ON_BOTH_ENGINES(OrderCancellation);

}  // namespace

TEST_P(OrderCancellation, CancelledOrdersStayDatedAndTheirRequisitionsCanBeOrderedAndRecalculatedAgain) {
    TestServer server(engine());
    HandCase hand(server);
    const DataPacket all = listed(server, "_0001_0002_", shiftList(server));
    call(server, "GeraPedidoPorRequisicao", generation(requisitionList(server, marking(all, hand.all()))));
    EXPECT_EQ(refusal(server, "CalculaRequisicoes", recalculation(server)), "ERR_JA_EXISTE_PED");

    const std::string day1 = "cdfilial = '0001' AND dtrequipedido = '" + kDay1.toIso() + "'";
    const std::string keys = ordersOfRequisitions(server, day1);
    const int64_t orders = server.count("SELECT count(*) FROM purchase_order");
    const int64_t freed = server.count("SELECT count(*) FROM requisition r WHERE nrpedexol IS NOT NULL AND " + day1);
    const int64_t cancelled = int64_t(std::count(keys.begin(), keys.end(), '_')) - 1;
    EXPECT_EQ(call(server, "CancelaPedido", {keys, kOperator, "0001"}), Variant(Variant::Array{cancelled, freed}));

    EXPECT_EQ(server.count("SELECT count(*) FROM purchase_order"), orders) << "kept, never deleted";
    EXPECT_EQ(server.count("SELECT count(*) FROM purchase_order_cancellation WHERE cdoperador = 'OPER'"
                           " AND dtcancelamento = '" + test::fixedNow().toIso() + "'"),
              cancelled);
    EXPECT_EQ(server.count("SELECT count(*) FROM requisition r WHERE nrpedexol IS NOT NULL AND " + day1), 0);
    EXPECT_EQ(server.count("SELECT count(*) FROM purchase_order_item i JOIN purchase_order_cancellation x"
                           " ON x.nrpedexol = i.nrpedexol"),
              server.count("SELECT count(*) FROM purchase_order_item WHERE nrpedexol IN (SELECT nrpedexol FROM "
                           "purchase_order_cancellation)"));
    expectConsistent(server.sql());
    EXPECT_EQ(refusal(server, "CancelaPedido", {keys, kOperator}),
              "Pedido " + keys.substr(1, keys.find('_', 1) - 1) + " já está cancelado.");

    // Ordered again under new numbers, then cancelled again, then recalculated.
    const int64_t highest = server.count("SELECT max(nrpedexol) FROM purchase_order");
    const Variant again = call(server, "GeraPedidoPorRequisicao",
                               generation(requisitionList(server, marking(listed(server, "_0001_", shiftList(server)),
                                                                          hand.all()))));
    EXPECT_EQ(again.array().at(1), Variant(highest + 1)) << "a cancelled order's number is never handed out again";
    call(server, "CancelaPedido", {ordersOfRequisitions(server, day1), kOperator});
    EXPECT_EQ(call(server, "CalculaRequisicoes", recalculation(server)).type(), Variant::Type::Array);
    expectConsistent(server.sql());
}

TEST_P(OrderCancellation, AMalformedEmptyOrUnknownCancellationIsRefusedByNumberAndChangesNothing) {
    TestServer server(engine());
    HandCase hand(server);
    call(server, "GeraPedidoPorRequisicao",
         generation(requisitionList(server, marking(listed(server, "_0001_0002_", shiftList(server)), hand.all()))));
    server.sql().execute("INSERT INTO purchase_order_cancellation (nrpedexol, cdoperador, dtcancelamento)"
                         " SELECT min(nrpedexol), 'ana', dtlancamento FROM purchase_order WHERE nrpedexol > 500"
                         " GROUP BY dtlancamento");
    const int64_t gone = server.count("SELECT min(nrpedexol) FROM purchase_order WHERE nrpedexol > 500");
    const std::string ofBranch2 = std::to_string(
        server.count("SELECT max(nrpedexol) FROM purchase_order WHERE cdfilial = '0002'"));
    const struct {
        Args args;
        std::string message;
    } cases[] = {
        {{"", kOperator}, "Pedidos devem ser informados."},
        {{"_", kOperator}, "Pedidos devem ser informados."},
        {{int64_t(500), kOperator}, "Pedidos deve ser um texto."},
        {{"500", kOperator},
         "Pedidos deve ser uma lista de números, cada um seguido de \"_\", após um \"_\" inicial (\"_1_2_\")."},
        {{"_500_x1_", kOperator}, "Pedido \"x1\" inválido: deve ser um número de 1 a 9999999999."},
        {{"_500__", kOperator}, "Pedido \"\" inválido: deve ser um número de 1 a 9999999999."},
        {{"_0_", kOperator}, "Pedido \"0\" inválido: deve ser um número de 1 a 9999999999."},
        {{"_99999999999_", kOperator}, "Pedido \"99999999999\" inválido: deve ser um número de 1 a 9999999999."},
        {{"_500_9999999999_", kOperator}, "Pedido 9999999999 não existe."},
        {{"_500_" + std::to_string(gone) + "_", kOperator}, "Pedido " + std::to_string(gone) + " já está cancelado."},
        {{"_500_" + ofBranch2 + "_", kOperator, "0001"}, "Pedido " + ofBranch2 + " não é da filial 0001."},
        {{"_500_", kOperator, "0099"}, "Filial 0099 não cadastrada."},
        {{"_500_", ""}, "Operador deve ser informado."},
    };
    const std::string before = server.content(test::allTables());
    for (const auto& c : cases) EXPECT_EQ(refusal(server, "CancelaPedido", c.args), c.message) << c.args[0].asString();
    EXPECT_EQ(server.content(test::allTables()), before);

    // A number given twice is cancelled once; the longest number that fits is a number.
    EXPECT_EQ(call(server, "CancelaPedido", {"_500_500_", kOperator, ""}), Variant(Variant::Array{int64_t(1), int64_t(1)}));
    EXPECT_EQ(server::requireOrderNumbers(Variant("_9999999999_1_")), (std::vector<int64_t>{9999999999, 1}));
}

TEST_P(OrderCancellation, ACancellationFailingMidwayLeavesNothing) {
    TestServer server(engine());
    HandCase hand(server);
    const std::string before = server.content(test::allTables());
    server::CancellationRequest request{{500}, kOperator, std::nullopt, test::fixedNow()};
    EXPECT_THROW(server::cancelOrders(server.sql(), request, [] { throw std::runtime_error("queda"); }),
                 std::runtime_error);
    EXPECT_EQ(server.content(test::allTables()), before);
    EXPECT_EQ(server::cancelOrders(server.sql(), request).requisitions, 1);
}

// An operator cancels every order while another, through a second server process on the same
// database, orders the same requisitions again or recalculates them.
class OrderCancellationProcesses : public test::EngineTest {
protected:
    void SetUp() override {
        server = std::make_unique<TestServer>(engine());
        test::addManyRequisitions(server->sql(), kDay1, 4);
        everything = listed(*server, "T", shiftList(*server), "T", kDay1, kDay1.addDays(3));
        total = int64_t(everything.rows.size());
    }
    std::unique_ptr<test::ServerProcess> start() const {
        return std::make_unique<test::ServerProcess>(
            std::vector<std::string>{"--db", server->database.target(), "--listen", "127.0.0.1:0"});
    }
    Args generationOfAll(const std::string& list) const {
        Args args = generation(list, "N");
        args[2] = kDay1.addDays(3);
        return args;
    }
    int64_t ordered() const { return server->count("SELECT count(*) FROM requisition WHERE nrpedexol IS NOT NULL"); }
    // Runs the two calls at once, each through its own server process; answers their results.
    std::pair<Variant, Variant> atOnce(const uint16_t (&ports)[2], const std::string& firstMethod, const Args& firstArgs,
                                       const std::string& secondMethod, const Args& secondArgs) {
        Variant results[2];
        const std::pair<const std::string*, const Args*> calls[] = {{&firstMethod, &firstArgs},
                                                                    {&secondMethod, &secondArgs}};
        std::thread operators[2];
        for (int i = 0; i < 2; ++i)
            operators[i] = std::thread([&, i] {
                rpc::Client client;
                client.connect(test::TestServer::endpoint(ports[i]));
                Args args = *calls[i].second;
                results[i] = client.call(PedReqObject::kName, *calls[i].first, args);
            });
        for (auto& t : operators) t.join();
        return {results[0], results[1]};
    }

    std::unique_ptr<TestServer> server;
    DataPacket everything;
    int64_t total = 0;
};
KRV_ON_BOTH_ENGINES(OrderCancellationProcesses);

TEST_P(OrderCancellationProcesses, RacingACancellationLeavesNoRequisitionOnACancelledOrderNorAnEmptyOrder) {
    const DataPacket all = marking(everything, [&] {
        std::set<int64_t> numbers;
        for (const Row& row : everything.rows) numbers.insert(int64_t(row[1].asDouble()));
        return numbers;
    }());
    // A server purges old lists when it starts, and the tests' lists carry the fixed test
    // date: the lists are made after the servers have started.
    auto a = start(), b = start();
    const uint16_t ports[2] = {test::announcedPort(*a), test::announcedPort(*b)};
    ASSERT_TRUE(ports[0] && ports[1]);
    for (const char* rival : {"GeraPedidoPorRequisicao", "CalculaRequisicoes"}) {
        SCOPED_TRACE(rival);
        call(*server, "GeraPedidoPorRequisicao", generationOfAll(requisitionList(*server, all)));
        ASSERT_EQ(ordered(), total);
        const std::string keys = ordersOfRequisitions(*server, "1 = 1");
        const Args rivalArgs = std::string(rival) == "CalculaRequisicoes"
                                   ? recalculation(*server, 4)
                                   : generationOfAll(requisitionList(*server, all));
        const auto [cancel, other] = atOnce(ports, "CancelaPedido", {keys, kOperator}, rival, rivalArgs);
        EXPECT_EQ(cancel.array().at(0), Variant(true)) << cancel.asString();
        const bool otherFirst = other.array().at(0) == Variant(false);
        if (otherFirst) {
            EXPECT_TRUE(other.array().at(1) == Variant(server::kNothingPending) ||
                        other.array().at(1) == Variant("ERR_JA_EXISTE_PED"))
                << other.asString();
        }
        const int64_t now = ordered();
        EXPECT_TRUE(now == 0 || now == total) << now << " of " << total << " requisitions ordered";
        expectConsistent(server->sql());
        server->sql().execute("DELETE FROM purchase_order_cancellation");
        reopen(server->sql(), 0);
    }
}
