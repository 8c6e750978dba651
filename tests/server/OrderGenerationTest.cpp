#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <map>
#include <memory>
#include <set>
#include <thread>

#include "OrderCases.h"
#include "RequisitionSeed.h"
#include "ServerProcess.h"
#include "ServerTestSupport.h"
#include "core/DataPacket.h"
#include "rpc/Client.h"
#include "server/domain/OrderGeneration.h"
#include "server/objects/PedReqObject.h"
#include "server/storage/SqlBuilder.h"
#include "server/stores/OrderStore.h"

using namespace krv;
using krv::server::PedReqObject;
using krv::server::test::addRequisition;
using krv::server::test::NewRequisition;
using krv::server::test::TestServer;
namespace test = krv::server::test;
namespace db = krv::server::db;

namespace {

using namespace krv::server::test::orders;

class OrderGeneration : public test::EngineTest {};
KRV_ON_BOTH_ENGINES(OrderGeneration);

}  // namespace

TEST_P(OrderGeneration, TheListHasEveryFieldInOrderAndFollowsBranchesPeriodShiftsAndGroupings) {
    TestServer server(engine());
    HandCase hand(server);
    const std::string allShifts = shiftList(server);

    const DataPacket both = listed(server, "_0001_0002_", allShifts);
    EXPECT_EQ(both.fields, server::requisitionListFields());
    // Sorted by branch, day, service, shift and grouping.
    Texts order;
    for (const Row& row : both.rows) order.push_back(hand.names.at(int64_t(row[1].asDouble())));
    EXPECT_EQ(order, (Texts{"R3", "R1", "R6", "R7", "R2", "R5", "R4"}));
    // A capped read stops one row past its cap, enough to tell the screen there are more.
    for (const auto& [atMost, read] : {std::pair{7u, 7u}, {6u, 7u}, {5u, 6u}}) {
        server::OrderStore::Filter filter;
        filter.branches = std::set<std::string>{"0001", "0002"};
        filter.period = {kDay1, kDay2};
        filter.atMost = atMost;
        EXPECT_EQ(server::OrderStore(server.sql()).requisitions(filter).rows.size(), read) << atMost;
    }
    const auto r1 = std::find_if(hand.names.begin(), hand.names.end(), [](auto& n) { return n.second == "R1"; });
    EXPECT_EQ(both.rows[1], (Row{"N", double(r1->first), "0004", "Jantar", "1", "1º Turno", kDay1, "1", "01", "0101",
                                 "Carnes, Aves e Peixes", "0007", "CD Logístico Guarulhos", Variant(), "0001", "0001",
                                 "15/03/2026", "0007 - CD Logístico Guarulhos", "0001"}));
    EXPECT_EQ(both.rows[3][13], Variant("500")) << "an ordered requisition shows its order";

    // Service 0003 has no shifts at branch 0001, whose shift list the order screen sends:
    // chosen shifts leave it out everywhere, "Todos" narrows nothing in any branch.
    const std::string veg = firstProduct(server, "0102");
    hand.names[addRequisition(server.sql(), {"0002", "0003", "2", kDay1, "01", "0102", "0007", {{veg, "C", 1}}})] =
        "R8";

    const struct {
        std::string branches, shifts, groupings;
        DateTime start, end;
        Texts expected;
    } cases[] = {
        {"_0002_", allShifts, "T", kDay1, kDay2, {"R8", "R4"}},
        {"_0002_", shiftList(server, "_000100041_000100042_"), "T", kDay1, kDay2, {"R4"}},
        {"T", allShifts, "T", kDay2, kDay2, {"R5"}},
        // A shift is its service and shift codes, in any listed branch.
        {"_0001_0002_", shiftList(server, "_000100041_"), "T", kDay1, kDay2, {"R1", "R6", "R7", "R5", "R4"}},
        {"_0001_", allShifts, "_01        0102_02        0201_", kDay1, kDay2, {"R3", "R6", "R7"}},
        {"_0001_", allShifts, "_01        0999_", kDay1, kDay2, {}},
        {"_0009_", allShifts, "T", kDay1, kDay2, {}},
    };
    for (const auto& c : cases) {
        Texts got;
        for (const Row& row : listed(server, c.branches, c.shifts, c.groupings, c.start, c.end).rows)
            got.push_back(hand.names.at(int64_t(row[1].asDouble())));
        EXPECT_EQ(got, c.expected) << c.branches << " " << c.groupings;
    }

    const Args good{"_0001_", kDay1, kDay2, allShifts, "T"};
    const struct {
        size_t at;
        Variant value;
        std::string message;
    } refused[] = {
        {0, "0001",
         "Seleção de filiais deve ser \"T\" ou chaves, cada uma seguida de \"_\", após um \"_\" inicial "
         "(\"_chave1_chave2_\")."},
        {0, "_0001'--_", "Seleção de filiais deve conter apenas letras e números em cada chave."},
        {1, "15/03/2026", "Data inicial deve ser uma data."},
        {2, kDay1.addDays(-1), "Data inicial deve ser menor ou igual a data final."},
        {3, "", "Número da lista de turnos deve ser informado."},
        {3, "999999", "Lista de turnos 999999 não encontrada."},
        {4, "_0101_",
         "Seleção de agrupamentos deve ter, em cada chave, o grupo completado com brancos até 10 "
         "caracteres e o agrupamento."},
        {4, "_01  x     0101_",
         "Seleção de agrupamentos deve ter, em cada chave, o grupo completado com brancos até "
         "10 caracteres e o agrupamento."},
    };
    for (const auto& r : refused) {
        Args args = good;
        args[r.at] = r.value;
        EXPECT_EQ(refusal(server, "getRequisicoes", args), r.message) << r.value.asString();
    }
}

TEST_P(OrderGeneration, OrdersGroupAsComputedByHandPerServiceBranchShiftOrConsolidated) {
    TestServer server(engine());
    HandCase hand(server);
    const std::string list =
        requisitionList(server, marking(listed(server, "_0001_0002_", shiftList(server)), hand.all()));
    // R7 was marked too, but has its order already.
    EXPECT_EQ(listedNumbers(server, list).size(), 6u);

    const struct {
        const char* perShift;
        const char* branch;
        const char* service;
        Texts orders;
    } cases[] = {
        {"S",
         "",
         "",
         {"0006 15/03/2026 0001 0004 1 | R6 | verdura=2", "0007 15/03/2026 0001 0002 1 | R3 | verdura=1", kOld,
          "0007 15/03/2026 0001 0004 1 | R1 | carne=12 carne2=3", "0007 15/03/2026 0001 0004 2 | R2 | carne=5",
          "0007 15/03/2026 0002 0004 1 | R4 | carne=7", "0007 16/03/2026 0001 0004 1 | R5 | carne2=4"}},
        {"N",
         "",
         "",
         {"0006 15/03/2026 0001 0004 - | R6 | verdura=2", "0007 15/03/2026 0001 0002 - | R3 | verdura=1",
          "0007 15/03/2026 0001 0004 - | R1 R2 | carne=17 carne2=3", kOld, "0007 15/03/2026 0002 0004 - | R4 | carne=7",
          "0007 16/03/2026 0001 0004 - | R5 | carne2=4"}},
        {"N",
         "0003",
         "0005",
         {"0006 15/03/2026 0003 0005 - | R6 | verdura=2", kOld,
          "0007 15/03/2026 0003 0005 - | R1 R2 R3 R4 | carne=24 carne2=3 verdura=1",
          "0007 16/03/2026 0003 0005 - | R5 | carne2=4"}},
        {"S",
         "0003",
         "",
         {"0006 15/03/2026 0003 0004 1 | R6 | verdura=2", kOld, "0007 15/03/2026 0003 0002 1 | R3 | verdura=1",
          "0007 15/03/2026 0003 0004 1 | R1 R4 | carne=19 carne2=3", "0007 15/03/2026 0003 0004 2 | R2 | carne=5",
          "0007 16/03/2026 0003 0004 1 | R5 | carne2=4"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.perShift) + c.branch + c.service);
        reopen(server.sql(), 500);
        Args args = generation(list, c.perShift, c.branch, c.service);
        const Variant made = server.call(PedReqObject::kName, "GeraPedidoPorRequisicao", args);
        const int64_t count = int64_t(c.orders.size()) - 1,
                      first = server.count("SELECT min(nrpedexol) FROM purchase_order WHERE nrpedexol > 500");
        EXPECT_EQ(made, Variant(Variant::Array{count, first, first + count - 1})) << "how many, first and last";
        EXPECT_EQ(args, generation(list, c.perShift, c.branch, c.service));
        EXPECT_EQ(hand.orders(), c.orders);
        EXPECT_EQ(server.count("SELECT count(*) FROM purchase_order WHERE nrpedexol > 500 AND (cdoperador <> 'OPER'"
                               " OR coalesce(cdfilproc, '') <> '0002' OR dtlancamento <> '2026-03-15 10:30:00')"),
                  0);
        expectConsistent(server.sql());
        // Numbers follow the highest in use, and are never handed out twice.
        if (&c == &cases[0]) {
            EXPECT_EQ(server.count("SELECT min(nrpedexol) FROM purchase_order WHERE nrpedexol > 500"), 501);
        }
    }
    EXPECT_EQ(server.count("SELECT min(nrpedexol) FROM purchase_order WHERE nrpedexol > 500"), 515);
    // The list shows the orders.
    const DataPacket after = listed(server, "_0001_0002_", shiftList(server));
    EXPECT_EQ(std::count_if(after.rows.begin(), after.rows.end(), [](const Row& r) { return r[13].isNull(); }), 0);

    // Confirming again over the same list (a double click) generates nothing more.
    const std::string before = server.content(test::allTables());
    EXPECT_EQ(refusal(server, "GeraPedidoPorRequisicao", generation(list)), server::kNothingPending);
    EXPECT_EQ(server.content(test::allTables()), before);
}

TEST_P(OrderGeneration, ForgedForeignOrWrongArgumentsAreRefusedAndChangeNothing) {
    TestServer server(engine());
    HandCase hand(server);
    const DataPacket list = listed(server, "_0001_0002_", shiftList(server));
    const std::string number = requisitionList(server, marking(list, hand.all()));
    const std::string services = numberIn(call(server, "GetNrListaServ", {"0001", "T", ""}));
    const auto row = [&](const char* name) {
        for (size_t i = 0; i < list.rows.size(); ++i)
            if (hand.names.at(int64_t(list.rows[i][1].asDouble())) == name) return i;
        return size_t(0);
    };
    const auto forged = [&](size_t at, size_t field, Variant value) {
        DataPacket packet = marking(list, {});
        packet.rows[at][0] = "S";
        packet.rows[at][field] = std::move(value);
        return Variant(packet);
    };
    DataPacket renamed = list, retyped = list, shorter = list;
    renamed.fields[18].name = "CDFILIAL2";
    retyped.fields[1].type = FieldType::String;
    shorter.fields.pop_back();
    for (Row& r : shorter.rows) r.pop_back();
    const std::string fields =
        "O pacote enviado não é a lista de requisições: os campos devem ser IDMARCADO, NRREQUIPEDIDO, CDSERVFILI, "
        "NMSERVICO, CDTURNO, NMTURNO, DTREQUIPEDIDO, NRSEQREQUIPEDIDO, CDGRUPPROD, CDSUBGRPROD, NMSUBGRPROD, "
        "CDFILIOPELOG, NMFILIOPELOG, NRPEDEXOL, CDFILDEST, CDFILLANC, DTREQUIPEDIDO_PESQ, FILIOPELOG, CDFILIAL.";
    const std::string r1 = std::to_string(int64_t(list.rows[row("R1")][1].asDouble()));
    const struct {
        Args args;
        std::string message;
    } lists[] = {
        {{"pacote", ""}, "A lista de requisições deve ser um pacote de dados."},
        {{renamed, ""}, fields},
        {{retyped, ""}, fields},
        {{shorter, ""}, fields},
        {{Variant(marking(list, {})), ""}, "Requisição deve ser selecionada."},
        {{Variant(marking(list, hand.all())), "", "n"}, "Devolver a lista deve ser \"S\" ou \"N\"."},
        {{forged(row("R1"), 1, 999999.0), ""}, "A requisição 999999 não existe na filial 0001 em 15/03/2026."},
        {{forged(row("R1"), 18, "0002"), ""}, "A requisição " + r1 + " não existe na filial 0002 em 15/03/2026."},
        {{forged(row("R1"), 6, kDay2), ""}, "A requisição " + r1 + " não existe na filial 0001 em 16/03/2026."},
        {{forged(row("R1"), 1, 1.5), ""}, "A lista de requisições tem um número de requisição inválido: 1.5"},
        {{Variant(marking(list, hand.all())), services},
         "Número da lista de requisições: a lista " + services + " não é uma lista de requisições."},
    };
    const struct {
        size_t at;
        Variant value;
        std::string message;
    } generations[] = {
        {0, "0001'", "Código da filial deve conter apenas letras e números."},
        {0, "0099", "Filial 0099 não cadastrada."},
        {1, Variant(), "Data inicial deve ser uma data."},
        {3, "", "Número da lista de requisições deve ser informado."},
        {3, services, "A lista " + services + " não é uma lista de requisições."},
        {3, "987654", "Lista de requisições 987654 não encontrada."},
        {4, "s", "Gerar pedido por turno deve ser \"S\" ou \"N\"."},
        {5, "", "Operador deve ser informado."},
        {6, "0099", "Filial 0099 não cadastrada."},
        {7, "0099", "Filial 0099 não cadastrada."},
        {7, Variant(), "Filial de consolidação deve ser um texto."},
        {8, "0003", "Serviço 0003 não cadastrado na filial 0001."},
        {8, "000041", "Serviço de consolidação deve ter no máximo 5 caracteres."},
    };
    const std::string before = server.content(test::allTables());
    for (const auto& l : lists) EXPECT_EQ(refusal(server, "GetNrListaRequiPedido", l.args), l.message);
    for (const auto& g : generations) {
        Args args = generation(number);
        args[g.at] = g.value;
        EXPECT_EQ(refusal(server, "GeraPedidoPorRequisicao", args), g.message) << g.at << " " << g.value.asString();
    }
    EXPECT_EQ(refusal(server, "apagaListaRequiPedido", {services}),
              "Número da lista de requisições: a lista " + services + " não é uma lista de requisições.");
    EXPECT_EQ(server.content(test::allTables()), before);

    // Renewing replaces the list and its rows; deleting is fine for empty and gone numbers.
    const std::string renewedNumber = requisitionList(server, marking(list, hand.all()), number);
    EXPECT_TRUE(listedNumbers(server, number).empty());
    for (const std::string& gone : {renewedNumber, renewedNumber, std::string()}) {
        Args args{gone};
        EXPECT_EQ(server.call(PedReqObject::kName, "apagaListaRequiPedido", args), Variant());
        EXPECT_EQ(args, Args{""});
    }
    EXPECT_TRUE(listedNumbers(server, renewedNumber).empty());
    EXPECT_EQ(server.count("SELECT count(*) FROM server_list WHERE nrlista = " + services), 1);
}

// The marked rows are checked against the database a chunk of numbers at a time, and in
// number order rather than as listed: a list of more than one chunk, sent in reverse with a
// row given twice, is stored whole and once; a forged row is found whichever chunk holds it.
TEST_P(OrderGeneration, AListOfSeveralChunksInAnyOrderIsCheckedAndStoredWhole) {
    TestServer server(engine());
    test::addManyRequisitions(server.sql(), kDay1, 2);
    DataPacket list = listed(server, "T", shiftList(server));
    ASSERT_GT(list.rows.size(), db::kChunk + 1);
    std::reverse(list.rows.begin(), list.rows.end());
    list.rows.push_back(list.rows.front());
    for (Row& row : list.rows) row[0] = "S";
    std::set<int64_t> all;
    for (const Row& row : list.rows) all.insert(int64_t(row[1].asDouble()));
    EXPECT_EQ(listedNumbers(server, requisitionList(server, list)), all);

    // The lowest number, the last of a chunk and the first past it, and the highest.
    std::vector<int64_t> sorted(all.begin(), all.end());
    for (const size_t rank : {size_t(0), db::kChunk - 1, db::kChunk, sorted.size() - 1}) {
        DataPacket forged = list;
        const auto at = std::find_if(forged.rows.begin(), forged.rows.end(),
                                     [&](const Row& row) { return int64_t(row[1].asDouble()) == sorted[rank]; });
        const std::string day = (*at)[6].asDateTime() == kDay1 ? "16/03/2026" : "15/03/2026";
        (*at)[6] = (*at)[6].asDateTime() == kDay1 ? kDay2 : kDay1;
        EXPECT_EQ(refusal(server, "GetNrListaRequiPedido", {Variant(forged), ""}),
                  "A requisição " + std::to_string(sorted[rank]) + " não existe na filial " + (*at)[18].asString() +
                      " em " + day + ".")
            << rank;
    }
}

TEST_P(OrderGeneration, AGenerationFailingMidwayLeavesNothing) {
    TestServer server(engine());
    HandCase hand(server);
    const std::string list =
        requisitionList(server, marking(listed(server, "_0001_0002_", shiftList(server)), hand.all()));
    const std::string before = server.content(test::allTables());
    server::OrderRequest request;
    request.list = std::stoll(list);
    request.period = {kDay1, kDay2};
    request.operatorCode = kOperator;
    request.currentBranch = "0001";
    request.now = test::fixedNow();
    EXPECT_THROW(server::generateOrders(server.sql(), request, [] { throw std::runtime_error("queda"); }),
                 std::runtime_error);
    EXPECT_EQ(server.content(test::allTables()), before);
    EXPECT_EQ(server::generateOrders(server.sql(), request).count, 6);
}

// Two operators confirm at once, through two server processes on one database, over
// lists that share requisitions; and a server killed mid-generation, then restarted.
// A server purges lists older than a day when it starts, and the tests' lists carry the
// fixed test date: each list is made after the servers that use it have started.
class OrderGenerationProcesses : public test::EngineTest {
protected:
    void SetUp() override {
        server = std::make_unique<TestServer>(engine());
        test::addManyRequisitions(server->sql(), kDay1, 16);
        everything = listed(*server, "T", shiftList(*server), "T", kDay1, kDay1.addDays(15));
    }
    std::set<int64_t> numbers(size_t from, size_t to) const {
        std::set<int64_t> chosen;
        for (size_t i = from; i < to && i < everything.rows.size(); ++i)
            chosen.insert(int64_t(everything.rows[i][1].asDouble()));
        return chosen;
    }
    Args generationOf(const std::string& list) const {
        Args args = generation(list, "N");
        args[2] = kDay1.addDays(15);
        return args;
    }
    std::unique_ptr<test::ServerProcess> start() const {
        return std::make_unique<test::ServerProcess>(
            std::vector<std::string>{"--db", server->database.target(), "--listen", "127.0.0.1:0"});
    }
    int64_t ordered() const { return server->count("SELECT count(*) FROM requisition WHERE nrpedexol IS NOT NULL"); }

    std::unique_ptr<TestServer> server;
    DataPacket everything;
};
KRV_ON_BOTH_ENGINES(OrderGenerationProcesses);

TEST_P(OrderGenerationProcesses, RacingGenerationsOrderEachRequisitionOnceAndLeaveNoEmptyOrder) {
    const size_t n = everything.rows.size();
    ASSERT_GT(n, 1000u);
    auto a = start(), b = start();
    const uint16_t ports[] = {test::announcedPort(*a), test::announcedPort(*b)};
    ASSERT_TRUE(ports[0] && ports[1]);
    const std::string first = requisitionList(*server, marking(everything, numbers(0, n * 2 / 3)));
    const std::string second = requisitionList(*server, marking(everything, numbers(n / 3, n)));
    Variant results[2];
    std::thread operators[2];
    for (int i = 0; i < 2; ++i)
        operators[i] = std::thread([&, i] {
            rpc::Client client;
            client.connect(test::TestServer::endpoint(ports[i]));
            Args args = generationOf(i == 0 ? first : second);
            results[i] = client.call(PedReqObject::kName, "GeraPedidoPorRequisicao", args);
        });
    for (auto& t : operators) t.join();
    for (const Variant& result : results)
        EXPECT_EQ(result.array().at(0), Variant(true)) << result.array().at(1).asString();
    EXPECT_EQ(ordered(), int64_t(n));
    expectConsistent(server->sql());

    // The same list confirmed twice at once: one generates, the other finds nothing pending.
    reopen(server->sql(), 0);
    for (int i = 0; i < 2; ++i)
        operators[i] = std::thread([&, i] {
            rpc::Client client;
            client.connect(test::TestServer::endpoint(ports[i]));
            Args args = generationOf(first);
            results[i] = client.call(PedReqObject::kName, "GeraPedidoPorRequisicao", args);
        });
    for (auto& t : operators) t.join();
    const Variant nothing(Variant::Array{false, server::kNothingPending});
    EXPECT_TRUE(results[0] == nothing || results[1] == nothing) << results[0].asString() << results[1].asString();
    EXPECT_EQ(ordered(), int64_t(numbers(0, n * 2 / 3).size()));
    expectConsistent(server->sql());
}

TEST_P(OrderGenerationProcesses, AServerKilledMidGenerationLeavesNoHalfWrittenOrder) {
    // How long a whole generation takes through a server process, to kill the next ones
    // at points inside it.
    const DataPacket all = marking(everything, numbers(0, everything.rows.size()));
    std::chrono::steady_clock::duration took;
    {
        auto timed = start();
        rpc::Client client;
        client.connect(test::TestServer::endpoint(test::announcedPort(*timed)));
        Args args = generationOf(requisitionList(*server, all));
        const auto before = std::chrono::steady_clock::now();
        client.call(PedReqObject::kName, "GeraPedidoPorRequisicao", args);
        took = std::chrono::steady_clock::now() - before;
    }
    const int64_t total = ordered();
    ASSERT_EQ(total, int64_t(everything.rows.size()));

    int interrupted = 0;
    for (const double share : {0.3, 0.6, 0.9}) {
        SCOPED_TRACE(share);
        reopen(server->sql(), 0);
        auto process = start();
        const uint16_t port = test::announcedPort(*process);
        ASSERT_NE(port, 0);
        const std::string list = requisitionList(*server, all);
        rpc::Client client;
        client.connect(test::TestServer::endpoint(port));
        std::thread confirm([&] {
            Args a = generationOf(list);
            try {
                client.call(PedReqObject::kName, "GeraPedidoPorRequisicao", a);
            } catch (const std::exception&) {  // the server went away under the call
            }
        });
        std::this_thread::sleep_for(std::chrono::duration_cast<std::chrono::microseconds>(took * share));
        process->stopAndWait(SIGKILL);
        confirm.join();
        client.close();

        auto restarted = start();
        const uint16_t again = test::announcedPort(*restarted);
        ASSERT_NE(again, 0);
        const int64_t now = ordered();
        EXPECT_TRUE(now == 0 || now == total) << now << " of " << total << " requisitions ordered";
        expectConsistent(server->sql());
        if (now == total) continue;
        ++interrupted;
        EXPECT_EQ(server->count("SELECT count(*) FROM purchase_order"), 0);
        // Nothing is left locked: the restarted server generates the whole list.
        rpc::Client second;
        second.connect(test::TestServer::endpoint(again));
        Args retry = generationOf(requisitionList(*server, all));
        EXPECT_EQ(second.call(PedReqObject::kName, "GeraPedidoPorRequisicao", retry).array().at(0), Variant(true));
        EXPECT_EQ(ordered(), total);
        expectConsistent(server->sql());
    }
    RecordProperty("interrupted", interrupted);
}

TEST_P(OrderGeneration, AListNotSentBackIsStoredAlikeAndTheAnswerLeavesThePacketOut) {
    TestServer server(engine());
    HandCase hand(server);
    const Variant packet(marking(listed(server, "_0001_0002_", shiftList(server)), hand.all()));
    std::set<int64_t> stored[2];
    for (const char* sendBack : {"S", "N"}) {
        SCOPED_TRACE(sendBack);
        Args args{packet, "", sendBack};
        const std::string number = numberIn(server.call(PedReqObject::kName, "GetNrListaRequiPedido", args));
        EXPECT_EQ(args[0], std::string(sendBack) == "S" ? packet : Variant());
        EXPECT_EQ(args[1], Variant(number));
        stored[sendBack[0] == 'N'] = listedNumbers(server, number);
    }
    EXPECT_FALSE(stored[0].empty());
    EXPECT_EQ(stored[0], stored[1]);
}
