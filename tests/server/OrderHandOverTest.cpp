// A logistic operator's day: every kitchen calculated in one call, the generated orders read
// back line by line down to their requisition items, marked sent, and printed as the order
// and pick-list documents, on both engines.
#include <gtest/gtest.h>

#include <cmath>
#include <map>

#include "OrderCases.h"
#include "TransferCases.h"
#include "server/domain/OrderShipment.h"
#include "server/objects/ReportObject.h"
#include "server/transfer/OrderExport.h"
#include "support/TempDir.h"

using namespace krv;
using namespace krv::server::test::orders;
using krv::server::PedReqObject;
using krv::server::ReportObject;
using krv::server::test::columnOf;
using krv::server::test::TestServer;
namespace test = krv::server::test;
namespace db = krv::server::db;

namespace {

const Texts kKitchens{"0001", "0002", "0003", "0004", "0005", "0006"};

Args batch(const std::string& kitchen = "") {
    Args args{"0007", kDay1, kDay2, 10.5, "S", "CFP", kOperator};
    if (!kitchen.empty()) args.push_back(kitchen);
    return args;
}

DataPacket packetOf(const Variant& payload) {
    return payload.type() == Variant::Type::Packet ? payload.packet() : DataPacket{};
}

// What a calculation wrote for a kitchen, without the numbers the database handed out.
std::string kitchenContent(const TestServer& server, const std::string& kitchen) {
    std::string text;
    server.sql().each(
        "SELECT r.cdservfili, r.cdturno, r.dtrequipedido, r.cdgrupprod, r.cdsubgrprod, r.nrseqrequipedido,"
        " r.cdfiliopelog, r.cdfildest, r.cdfillanc, r.cdoperador, r.dtlancamento, i.cdproduto, i.idtipoconsumo,"
        " i.qtrequisitada, i.pcacrescimo, i.qtembalagem"
        " FROM requisition r JOIN requisition_item i ON i.nrrequipedido = r.nrrequipedido WHERE r.cdfilial = ?"
        " ORDER BY r.cdservfili, r.cdturno, r.dtrequipedido, r.cdgrupprod, r.cdsubgrprod, i.cdproduto,"
        " i.idtipoconsumo",
        {kitchen}, [&](const db::ResultRow& row) {
            for (int c = 0; c < row.size(); ++c) text += (row.isNull(c) ? "-" : row.text(c)) + "|";
            text += "\n";
        });
    return text;
}

// Every requisition of the two days ordered, per shift; answers the orders' key list.
std::string orderEverything(const TestServer& server) {
    const DataPacket all = listed(server, "T", shiftList(server));
    std::set<int64_t> numbers;
    for (const Row& row : all.rows) numbers.insert(int64_t(row[1].asDouble()));
    call(server, "GeraPedidoPorRequisicao", generation(requisitionList(server, marking(all, numbers))));
    std::string keys = "_";
    server.sql().each("SELECT nrpedexol FROM purchase_order ORDER BY nrpedexol", {},
                      [&](const db::ResultRow& row) { keys += std::to_string(row.integer(0)) + "_"; });
    return keys;
}

int64_t firstOrder(const TestServer& server, const std::string& where = "1 = 1") {
    return server.count("SELECT min(nrpedexol) FROM purchase_order WHERE " + where);
}

std::string key(int64_t order) { return "_" + std::to_string(order) + "_"; }

Args reportParams(std::vector<std::pair<std::string, Variant>> pairs) {
    Variant::Array list;
    for (auto& [name, value] : pairs) list.push_back(Variant(Variant::Array{Variant(name), value}));
    return {Variant(list)};
}

DataPacket document(const TestServer& server, const std::string& code, std::vector<std::pair<std::string, Variant>> p) {
    Args args = reportParams(std::move(p));
    args.insert(args.begin(), Variant(code));
    return packetOf(server.call(ReportObject::kName, "GetDados", args));
}

std::string documentRefusal(const TestServer& server, const std::string& code,
                            std::vector<std::pair<std::string, Variant>> p) {
    Args args = reportParams(std::move(p));
    args.insert(args.begin(), Variant(code));
    return server.failure(ReportObject::kName, "GetDados", args);
}

// Sum of a float field per value of a key field.
std::map<std::string, double> sums(const DataPacket& packet, const std::string& keyField, const std::string& field) {
    std::map<std::string, double> out;
    const int k = packet.fieldIndex(keyField), f = packet.fieldIndex(field);
    for (const Row& row : packet.rows) out[row[size_t(k)].asString()] += row[size_t(f)].asDouble();
    return out;
}

void expectNear(const std::map<std::string, double>& actual, const std::map<std::string, double>& expected,
                const std::string& what) {
    ASSERT_EQ(actual.size(), expected.size()) << what;
    for (const auto& [k, v] : expected) EXPECT_NEAR(actual.at(k), v, 1e-6) << what << " " << k;
}

class OrderHandOver : public test::EngineTest {};
KRV_ON_BOTH_ENGINES(OrderHandOver);

}  // namespace

TEST_P(OrderHandOver, TheBatchCalculatesEachKitchenAsASingleCalculationOfAllItsServices) {
    TestServer together(engine()), alone(engine());
    const DataPacket summary = packetOf(call(together, "CalculaRequisicoesFiliais", batch()));
    EXPECT_EQ(columnOf(summary, "CDFILIAL"), kKitchens);
    for (size_t k = 0; k < kKitchens.size(); ++k) {
        SCOPED_TRACE(kKitchens[k]);
        const std::string services = numberIn(call(alone, "GetNrListaServ", {kKitchens[k], "T", ""}));
        const Variant single =
            call(alone, "CalculaRequisicoes",
                 {kKitchens[k], kDay1, kDay2, 10.5, "S", "CFP", kOperator, "0007", services, "", ""});
        const Row& row = summary.rows.at(k);
        EXPECT_EQ(row[summary.fieldIndex("DSSITUACAO")], Variant("calculada"));
        EXPECT_EQ(row[summary.fieldIndex("IDCALCULADA")], Variant("S"));
        EXPECT_EQ(row[summary.fieldIndex("QTREQUISICOES")], single.array().at(1));
        EXPECT_EQ(row[summary.fieldIndex("QTITENS")], single.array().at(2));
        EXPECT_EQ(row[summary.fieldIndex("DSSEMCARDAPIO")].asString(), single.array().at(3).asString());
        EXPECT_GT(single.array().at(2).asInt(), 0);
        EXPECT_EQ(kitchenContent(together, kKitchens[k]), kitchenContent(alone, kKitchens[k]));
    }
    EXPECT_EQ(together.count("SELECT count(*) FROM server_list"), 0) << "the batch leaves no list behind";
    EXPECT_EQ(together.count("SELECT count(*) FROM requisition WHERE cdfilial = '0007'"), 0);

    // One kitchen alone answers one row and touches no other kitchen.
    const std::string others = kitchenContent(together, "0001");
    EXPECT_EQ(columnOf(packetOf(call(together, "CalculaRequisicoesFiliais", batch("0003"))), "CDFILIAL"),
              Texts{"0003"});
    EXPECT_EQ(kitchenContent(together, "0001"), others);
}

TEST_P(OrderHandOver, AKitchenWithOrdersIsReportedAndTheOthersAreStillCalculated) {
    TestServer server(engine());
    call(server, "CalculaRequisicoesFiliais", batch());
    const DataPacket kitchen2 = listed(server, "_0002_", shiftList(server));
    std::set<int64_t> numbers;
    for (const Row& row : kitchen2.rows) numbers.insert(int64_t(row[1].asDouble()));
    call(server, "GeraPedidoPorRequisicao", generation(requisitionList(server, marking(kitchen2, numbers))));
    const std::string ordered = kitchenContent(server, "0002");
    server.sql().execute(
        "DELETE FROM requisition_item WHERE nrrequipedido IN"
        " (SELECT nrrequipedido FROM requisition WHERE cdfilial = '0005')");

    const DataPacket summary = packetOf(call(server, "CalculaRequisicoesFiliais", batch()));
    EXPECT_EQ(columnOf(summary, "IDCALCULADA"), (Texts{"S", "N", "S", "S", "S", "S"}));
    EXPECT_EQ(summary.rows.at(1)[summary.fieldIndex("DSSITUACAO")],
              Variant("não calculada: já há pedidos gerados para requisições do período"));
    EXPECT_EQ(summary.rows.at(1)[summary.fieldIndex("QTREQUISICOES")], Variant(int64_t(0))) << "nothing written";
    EXPECT_EQ(summary.rows.at(1)[summary.fieldIndex("QTITENS")], Variant(int64_t(0)));
    EXPECT_EQ(kitchenContent(server, "0002"), ordered);
    EXPECT_NE(kitchenContent(server, "0005"), "") << "a kitchen after the refused one was calculated";
}

TEST_P(OrderHandOver, ABatchRefusedAsAWholeWritesNothing) {
    TestServer server(engine());
    server.sql().execute("INSERT INTO branch (cdfilial, nmfilial, ol, dtproc) VALUES ('0008', 'CD Vazio', 'S', ?)",
                         {kDay1});
    const auto with = [](size_t i, Variant value, const std::string& kitchen = "") {
        Args args = batch(kitchen);
        args[i] = std::move(value);
        return args;
    };
    const struct {
        Args args;
        std::string message;
    } cases[] = {
        {with(0, "0001"), "A filial 0001 não é um operador logístico."},
        {with(0, "0099"), "Filial 0099 não cadastrada."},
        {with(0, "0008"), "O operador logístico 0008 não abastece nenhuma filial."},
        {batch("0007"), "A filial 0007 não é abastecida pelo operador logístico 0007."},
        {with(3, -1.0), "Acréscimo deve ser um número de 0 a 1000."},
        {with(5, "XXX"),
         "Tipos de consumo deve ter três letras, C ou X, F ou X, P ou X, com ao menos um tipo marcado."},
        {with(6, "ANA"), "Operador ANA não é o operador desta sessão (OPER)."},
    };
    const std::string before = server.content(test::allTables());
    for (const auto& c : cases) EXPECT_EQ(refusal(server, "CalculaRequisicoesFiliais", c.args), c.message);
    EXPECT_NE(refusal(server, "CalculaRequisicoesFiliais", with(1, kDay2.addDays(1))), "");
    EXPECT_EQ(server.content(test::allTables()), before);
    server.sql().execute("UPDATE parameters SET cdtipopratoconsfixo = NULL");
    const std::string unset = server.content(test::allTables());
    EXPECT_EQ(refusal(server, "CalculaRequisicoesFiliais", batch()), "TP_CONSFIXO");
    EXPECT_EQ(server.content(test::allTables()), unset);
    EXPECT_EQ(columnOf(packetOf(call(server, "GetFiliaisOperador", {"0007"})), "CDFILIAL"), kKitchens);
    EXPECT_EQ(refusal(server, "GetFiliaisOperador", {"0001"}), "A filial 0001 não é um operador logístico.");
}

TEST_P(OrderHandOver, EveryOrderLineIsTheSumOfTheRequisitionItemsItCameFrom) {
    TestServer server(engine());
    call(server, "CalculaRequisicoesFiliais", batch());
    orderEverything(server);
    const DataPacket orders = packetOf(call(server, "GetPedidos", {"T", kDay1, kDay2, "T"}));
    ASSERT_EQ(int64_t(orders.rows.size()), server.count("SELECT count(*) FROM purchase_order"));
    int64_t lineCount = 0;
    for (const Row& order : orders.rows) {
        const int64_t number = order[orders.fieldIndex("NRPEDEXOL")].asInt();
        SCOPED_TRACE(number);
        const DataPacket lines = packetOf(call(server, "GetItensPedido", {number}));
        const DataPacket items = packetOf(call(server, "GetRequisicoesPedido", {number}));
        EXPECT_EQ(order[orders.fieldIndex("QTLINHAS")], Variant(int64_t(lines.rows.size())));
        expectNear(sums(lines, "CDPRODUTO", "QTNECESSARIA"), sums(items, "CDPRODUTO", "QTREQUISITADA"), "need");
        for (const Row& line : lines.rows)
            EXPECT_NEAR(line[size_t(lines.fieldIndex("QTSOBRA"))].asDouble(),
                        line[size_t(lines.fieldIndex("QTPEDIDO"))].asDouble() -
                            line[size_t(lines.fieldIndex("QTNECESSARIA"))].asDouble(),
                        1e-9);
        lineCount += int64_t(lines.rows.size());
    }
    EXPECT_EQ(lineCount, server.count("SELECT count(*) FROM purchase_order_item"));

    // Narrowed by kitchen, by logistic operator and by day.
    const auto count = [&](Args args) { return int64_t(packetOf(call(server, "GetPedidos", args)).rows.size()); };
    EXPECT_EQ(count({"0003", kDay1, kDay2, "T"}),
              server.count("SELECT count(*) FROM purchase_order WHERE cdfilial = '0003'"));
    EXPECT_EQ(count({"0007", kDay1, kDay2, "A"}), int64_t(orders.rows.size()));
    EXPECT_EQ(count({"T", kDay2, kDay2, "T"}),
              server.count("SELECT count(*) FROM purchase_order WHERE dtpedido = '" + kDay2.toIso() + "'"));
    EXPECT_EQ(count({"T", kDay2.addDays(1), kDay2.addDays(9), "T"}), 0);
}

TEST_P(OrderHandOver, OrdersAreTheirOperatorsOwnAndBadReadsAreRefused) {
    TestServer server(engine());
    HandCase hand(server);
    server.addOperator("ANA", "senha da ana");
    const rpc::Caller other{"ANA", "127.0.0.1:2"}, token{"", "127.0.0.1:3"};
    const auto otherPayload = [&](const rpc::Caller& who, const std::string& method, Args args) {
        return server.dispatchAs(who, PedReqObject::kName, method, std::move(args)).result;
    };
    EXPECT_EQ(columnOf(packetOf(call(server, "GetPedidos", {"T", kDay1, kDay2, "T"})), "NRPEDEXOL"), Texts{"500"});
    const Variant seen = otherPayload(other, "GetPedidos", {"T", kDay1, kDay2, "T"});
    EXPECT_TRUE(packetOf(seen.array().at(1)).rows.empty()) << "another operator sees none of them";
    EXPECT_EQ(otherPayload(other, "GetItensPedido", {int64_t(500)}),
              Variant(Variant::Array{Variant(false), Variant("Pedido 500 não existe.")}));
    EXPECT_EQ(otherPayload(token, "GetItensPedido", {int64_t(500)}),
              Variant(Variant::Array{Variant(false),
                                     Variant("Pedidos só podem ser consultados numa sessão com operador: entre com "
                                             "operador e senha.")}));
    EXPECT_EQ(refusal(server, "GetItensPedido", {int64_t(0)}), "Número do pedido deve estar entre 1 e 9999999999.");
    EXPECT_EQ(refusal(server, "GetItensPedido", {int64_t(501)}), "Pedido 501 não existe.");
    EXPECT_EQ(refusal(server, "GetPedidos", {"0099", kDay1, kDay2, "T"}), "Filial 0099 não cadastrada.");
    EXPECT_EQ(refusal(server, "GetPedidos", {"T", kDay1, kDay2, "X"}),
              "Situação deve ser \"A\" ou \"E\" ou \"R\" ou \"C\" ou \"T\".");
    EXPECT_NE(refusal(server, "GetPedidos", {"T", kDay2, kDay1, "T"}), "");
}

TEST_P(OrderHandOver, ASentOrderIsNeitherCancelledNorSentAgain) {
    TestServer server(engine());
    HandCase hand(server);
    server.addOperator("ANA", "senha da ana");
    call(server, "GeraPedidoPorRequisicao",
         generation(requisitionList(server, marking(listed(server, "_0001_0002_", shiftList(server)), hand.all()))));
    const int64_t sent = 500, cancelled = firstOrder(server, "nrpedexol > 500"),
                  open = firstOrder(server, "nrpedexol > " + std::to_string(cancelled));
    call(server, "CancelaPedido", {key(cancelled), kOperator});
    EXPECT_EQ(call(server, "MarcaPedidosEnviados", {key(sent), kOperator}), Variant(Variant::Array{int64_t(1)}));

    const DataPacket shipped = packetOf(call(server, "GetPedidos", {"T", kDay1, kDay2, "E"}));
    EXPECT_EQ(columnOf(shipped, "NRPEDEXOL"), Texts{"500"});
    EXPECT_EQ(shipped.rows.at(0)[shipped.fieldIndex("DTSITUACAO")], Variant(test::fixedNow()));
    EXPECT_EQ(shipped.rows.at(0)[shipped.fieldIndex("CDOPERSITUACAO")], Variant(kOperator));
    EXPECT_EQ(columnOf(packetOf(call(server, "GetPedidos", {"T", kDay1, kDay2, "C"})), "NRPEDEXOL"),
              Texts{std::to_string(cancelled)});
    const Texts active = columnOf(packetOf(call(server, "GetPedidos", {"T", kDay1, kDay2, "A"})), "NRPEDEXOL");
    EXPECT_EQ(std::count(active.begin(), active.end(), "500") +
                  std::count(active.begin(), active.end(), std::to_string(cancelled)),
              0);

    const std::string sentMessage = "Pedido 500 já foi enviado ao operador logístico em 15/03/2026.";
    const std::string before = server.content(test::allTables());
    EXPECT_EQ(refusal(server, "CancelaPedido", {key(sent), kOperator}), sentMessage);
    EXPECT_EQ(refusal(server, "CancelaPedido", {"_" + std::to_string(open) + "_500_", kOperator}), sentMessage);
    EXPECT_EQ(refusal(server, "MarcaPedidosEnviados", {"_" + std::to_string(open) + "_500_", kOperator}), sentMessage);
    EXPECT_EQ(refusal(server, "MarcaPedidosEnviados", {key(cancelled), kOperator}),
              "Pedido " + std::to_string(cancelled) + " está cancelado e não pode ser enviado.");
    EXPECT_EQ(refusal(server, "MarcaPedidosEnviados", {"_9999999999_", kOperator}), "Pedido 9999999999 não existe.");
    EXPECT_EQ(refusal(server, "MarcaPedidosEnviados", {"", kOperator}), "Pedidos devem ser informados.");
    EXPECT_EQ(refusal(server, "GetRequisicoesPedido", {cancelled}),
              "Pedido " + std::to_string(cancelled) + " está cancelado: suas requisições foram liberadas.");
    const Variant byOther =
        server.dispatchAs({"ANA", "127.0.0.1:2"}, PedReqObject::kName, "MarcaPedidosEnviados", {key(open), "ANA"})
            .result;
    EXPECT_EQ(byOther,
              Variant(Variant::Array{Variant(false), Variant("Pedido " + std::to_string(open) + " não existe.")}));
    EXPECT_EQ(server.content(test::allTables()), before) << "every refusal changed nothing";

    // The export for another system marks what it writes in its own transaction, first, and
    // writes each order as it leaves it.
    const size_t stillActive =
        columnOf(packetOf(call(server, "GetPedidos", {"T", kDay1, kDay2, "A"})), "NRPEDEXOL").size();
    ASSERT_GT(stillActive, 0u);
    krv::support::TempDir dir;
    const auto written = server.sql().write([&](db::Connection& c) {
        return server::transfer::exportOrders(
            c, dir.path(), {{kDay1, kDay2}, std::nullopt}, [&](const std::vector<int64_t>& active) {
                return size_t(server::markOrdersSent(c, {active, "krv-dados", server::OrderViewer{}, kDay2}));
            });
    });
    EXPECT_EQ(written.marked, stillActive);
    EXPECT_EQ(written.orders, stillActive + 1) << "and the one sent before; the cancelled one is not written";
    EXPECT_EQ(columnOf(packetOf(call(server, "GetPedidos", {"T", kDay1, kDay2, "A"})), "NRPEDEXOL"), Texts{});
    const std::string file = test::readText(dir.path() / "pedidos.csv");
    const size_t line = file.find("\r\n" + std::to_string(open) + ";");
    ASSERT_NE(line, std::string::npos) << file;
    EXPECT_NE(file.substr(line, file.find("\r\n", line + 2) - line).find(";E;" + kDay2.toBr() + ";krv-dados;"),
              std::string::npos)
        << file;
}

TEST_P(OrderHandOver, TheDocumentsAddUpToTheOrders) {
    TestServer server(engine());
    call(server, "CalculaRequisicoesFiliais", batch());
    orderEverything(server);
    const int64_t cancelled = firstOrder(server, "cdfilial = '0002'");
    call(server, "CancelaPedido", {key(cancelled), kOperator});
    std::map<std::string, double> ordered;
    server.sql().each(
        "SELECT i.nrpedexol, i.qtpedido FROM purchase_order_item i WHERE NOT EXISTS"
        " (SELECT 1 FROM purchase_order_cancellation x WHERE x.nrpedexol = i.nrpedexol)",
        {}, [&](const db::ResultRow& row) { ordered[std::to_string(row.integer(0))] += row.real(1); });

    const DataPacket orders = document(server, "KRV521",
                                       {{"P_CDFILIAL", "T"},
                                        {"P_DATAINI", kDay1},
                                        {"P_DATAFIN", kDay2},
                                        {"P_PEDIDOS", "T"},
                                        {"P_IDQUEBRAPAGINA", "S"}});
    expectNear(sums(orders, "NRPEDEXOL", "QTPEDIDO"), ordered, "KRV521");
    EXPECT_EQ(orders.rows.at(0)[orders.fieldIndex("CDPRODUTO")].asString().size(), 13u) << "through the picture";

    const DataPacket picks = document(
        server, "KRV522", {{"P_CDFILIAL", "0007"}, {"P_DATAINI", kDay1}, {"P_DATAFIN", kDay2}, {"P_IDRESUMO", "S"}});
    expectNear(sums(picks, "NRPEDEXOL", "QTPEDIDO"), ordered, "KRV522");
    // Each product's day shows the sum of its sub-lines.
    std::map<std::string, double> perDay;
    for (const Row& row : picks.rows) perDay[row[0].asString() + row[2].asString()] += row[13].asDouble();
    for (const Row& row : picks.rows) {
        const double total = perDay[row[0].asString() + row[2].asString()];
        std::string text = row[6].asString();
        text.erase(std::remove(text.begin(), text.end(), '.'), text.end());
        std::replace(text.begin(), text.end(), ',', '.');
        EXPECT_NEAR(std::stod(text), total, 0.0005) << row[2].asString();
    }

    EXPECT_EQ(documentRefusal(server, "KRV521",
                              {{"P_CDFILIAL", "T"},
                               {"P_DATAINI", kDay1},
                               {"P_DATAFIN", kDay2},
                               {"P_PEDIDOS", key(cancelled)},
                               {"P_IDQUEBRAPAGINA", "N"}}),
              "Pedido " + std::to_string(cancelled) + " está cancelado.");
    EXPECT_EQ(
        documentRefusal(server, "KRV522",
                        {{"P_CDFILIAL", "0001"}, {"P_DATAINI", kDay1}, {"P_DATAFIN", kDay2}, {"P_IDRESUMO", "S"}}),
        "A filial 0001 não é um operador logístico: a lista de separação é de um operador.");
}
