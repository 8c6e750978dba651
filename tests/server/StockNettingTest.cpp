// Orders net of what the kitchen holds: counts, receipts, orders on their way and the rest of
// the packages bought, through the remote methods, on both engines.
#include <gtest/gtest.h>

#include "OrderCases.h"
#include "PackageBound.h"

using namespace krv;
using namespace krv::server::test::orders;
using krv::server::PedReqObject;
using krv::server::test::addRequisition;
using krv::server::test::TestServer;
namespace test = krv::server::test;
namespace db = krv::server::db;

namespace {

const DateTime kDay3 = kDay1.addDays(2);

// Branch 0001 needs 7,46 of one product on each of three days; the product comes in packages
// of 12 and keeps 5 days.
struct MilkWeek {
    explicit MilkWeek(const TestServer& s) : server(s) {
        milk = firstProduct(server, "0101");
        server.sql().execute("UPDATE product SET qtembalagem = 12, nrdiasvalidade = 5 WHERE cdproduto = ?", {milk});
        for (const DateTime day : {kDay1, kDay2, kDay3})
            requisitions.push_back(
                addRequisition(server.sql(), {"0001", "0004", "1", day, "01", "0101", "0007", {{milk, "C", 7.46}}}));
    }
    std::string list() const {
        DataPacket all = listed(server, "_0001_", shiftList(server), "T", kDay1, kDay3);
        return requisitionList(server, marking(all, {requisitions.begin(), requisitions.end()}));
    }
    Args generation(const std::string& list, const std::string& netting) const {
        Args args{"0001", kDay1, kDay3, list, "S", kOperator, "0002", "", "", "N"};
        if (!netting.empty()) args.push_back(netting);
        return args;
    }
    // Each line bought, as "day need fromStock bought".
    Texts bought() const {
        Texts lines;
        server.sql().each(
            "SELECT o.dtpedido, i.qtnecessaria, i.qtsaldo, i.qtpedido FROM purchase_order o"
            " JOIN purchase_order_item i ON i.nrpedexol = o.nrpedexol WHERE o.nrpedexol <> 400 AND i.cdproduto = ?"
            " ORDER BY o.dtpedido",
            {milk}, [&](const db::ResultRow& r) {
                lines.push_back(r.dateTime(0).toBr().substr(0, 5) + " " + Variant(r.real(1)).asString() + " " +
                                Variant(r.real(2)).asString() + " " + Variant(r.real(3)).asString());
            });
        return lines;
    }
    void count(double quantity, DateTime day = kDay1) const {
        DataPacket counts{{{"CDPRODUTO", FieldType::String, 10},
                           {"DTCONTAGEM", FieldType::DateTime, 0},
                           {"QTESTOQUE", FieldType::Float, 0}},
                          {{Variant(milk), Variant(day), Variant(quantity)}}};
        call(server, "GravaContagemEstoque", {"0001", Variant(counts), kOperator});
    }
    void forget() const {
        reopen(server.sql(), 0);
        server.sql().execute("DELETE FROM purchase_order_item_source");
        server.sql().execute("DELETE FROM stock_count");
    }
    const TestServer& server;
    std::string milk;
    std::vector<int64_t> requisitions;
};

}  // namespace

class StockNetting : public test::EngineTest {};
KRV_ON_BOTH_ENGINES(StockNetting);

TEST_P(StockNetting, OrdersBuyWhatTheKitchenLacksInWholePackagesAndCarryTheirRest) {
    TestServer server(engine());
    MilkWeek week(server);
    const std::string list = week.list();
    const struct {
        const char* what;
        const char* netting;
        double counted;   // on day 1; < 0: no count
        double onItsWay;  // an order of day 1 not received; 0: none
        Texts lines;      // day need fromStock bought
    } cases[] = {
        {"netting off: the sums, as always",
         "",
         -1,
         0,
         {"15/03 7.46 0 7.46", "16/03 7.46 0 7.46", "17/03 7.46 0 7.46"}},
        {"\"N\" is the same as leaving it out, whatever is in stock",
         "N",
         50,
         0,
         {"15/03 7.46 0 7.46", "16/03 7.46 0 7.46", "17/03 7.46 0 7.46"}},
        {"no stock: the rest of each package meets the next day",
         "S",
         -1,
         0,
         {"15/03 7.46 0 12", "16/03 7.46 4.54 12"}},
        {"a count meets the first day whole: no order for it",
         "S",
         10,
         0,
         {"16/03 7.46 2.54 12", "17/03 7.46 7.08 12"}},
        {"stock exactly the week's need buys nothing", "S", 22.38, 0, {}},
        {"an order on its way is stock on its day", "S", -1, 12, {"16/03 7.46 4.54 12"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        week.forget();
        if (c.counted >= 0) week.count(c.counted);
        if (c.onItsWay > 0) {
            server.sql().execute(
                "INSERT INTO purchase_order (nrpedexol, cdfiliopelog, cdfilial, cdservfili, dtpedido, cdoperador,"
                " dtlancamento) VALUES (400, '0007', '0001', '0004', ?, ?, ?)",
                {kDay1, kOperator, db::Timestamp{kDay1}});
            server.sql().execute(
                "INSERT INTO purchase_order_item (nrpedexol, cdproduto, qtnecessaria, qtpedido) VALUES (400, ?, ?, ?)",
                {week.milk, c.onItsWay, c.onItsWay});
        }
        Args args = week.generation(list, c.netting);
        const Variant made = server.call(PedReqObject::kName, "GeraPedidoPorRequisicao", args);
        EXPECT_EQ(week.bought(), c.lines);
        const Variant::Array& answer = made.array();
        const int64_t orders = int64_t(c.lines.size());
        EXPECT_EQ(answer.at(0), Variant(orders));
        if (std::string(c.netting) == "S") {
            ASSERT_EQ(answer.size(), 4u);
            EXPECT_EQ(answer[3], Variant(int64_t(3) - orders)) << "requisitions met from stock get no order";
            EXPECT_EQ(server.count("SELECT count(*) FROM requisition WHERE nrpedexol IS NULL"), 3 - orders);
        } else {
            EXPECT_EQ(answer.size(), 3u) << "the answer of a generation that does not net is as it was";
        }
        server.sql().execute("DELETE FROM purchase_order_item WHERE nrpedexol = 400");
        server.sql().execute("DELETE FROM purchase_order WHERE nrpedexol = 400");
    }
}

TEST_P(StockNetting, ThePreviewShowsWhatTheGenerationBuysAndTheExplanationAddsUpToIt) {
    TestServer server(engine());
    MilkWeek week(server);
    week.count(10);
    const std::string list = week.list();
    Args preview = week.generation(list, "S");
    const DataPacket lines = server.call(PedReqObject::kName, "PreviaPedidoPorRequisicao", preview).packet();
    ASSERT_EQ(lines.rows.size(), 2u);
    const Row& first = lines.rows[0];
    EXPECT_EQ(first[0], Variant(int64_t(1))) << "numbered as the orders that will be made, with no gap";
    EXPECT_EQ(first[3].asDateTime(), kDay2) << "day 1 is met from the count: its order is not made";
    EXPECT_EQ(first[10].asDouble(), 7.46);
    EXPECT_EQ(first[11].asDouble(), 12);
    EXPECT_DOUBLE_EQ(first[15].asDouble(), 2.54) << "from stock";
    EXPECT_DOUBLE_EQ(first[14].asDouble(), 7.08) << "the surplus carried: 12 - (7,46 - 2,54)";
    EXPECT_EQ(lines.rows[1][3].asDateTime(), kDay3);
    EXPECT_EQ(lines.rows[1][11].asDouble(), 12) << "day 3 lacks 0,38 after day 2's rest: one more package";

    Args generate = week.generation(list, "S");
    const Variant made = server.call(PedReqObject::kName, "GeraPedidoPorRequisicao", generate);
    const int64_t order = made.array().at(1).asInt();
    const DataPacket why = call(server, "ExplicaItemPedido", {Variant(order), week.milk}).packet();
    double sum = 0;
    std::string texts;
    for (const Row& row : why.rows) {
        texts += row[3].asString() + "\n";
        if (row[1].asString() != "TOTAL" && !row[6].isNull()) sum += row[6].asDouble();
    }
    EXPECT_EQ(why.rows.back()[1].asString(), "TOTAL");
    EXPECT_DOUBLE_EQ(why.rows.back()[6].asDouble(), 12);
    EXPECT_NEAR(sum, 12, 1e-9) << texts;
    EXPECT_NE(texts.find("Contagem de 15/03: 2,540"), std::string::npos) << texts;
    EXPECT_NE(texts.find("Arredondamento em embalagens de 12"), std::string::npos) << texts;

    // The next day's line used the rest of the package bought the day before.
    const DataPacket next = call(server, "ExplicaItemPedido", {Variant(order + 1), week.milk}).packet();
    std::string nextTexts;
    for (const Row& row : next.rows) nextTexts += row[3].asString() + "\n";
    EXPECT_NE(nextTexts.find("Saldo de 17/03: 7,080 "), std::string::npos) << nextTexts;
    EXPECT_NE(nextTexts.find("sobra da embalagem recebida em 16/03, validade 5 dias"), std::string::npos) << nextTexts;
}

TEST_P(StockNetting, ReceiptsAndCountsRefuseBadInputChangingNothingAndAReceivedOrderStaysReceived) {
    TestServer server(engine());
    MilkWeek week(server);
    Args generate = week.generation(week.list(), "N");
    const int64_t first = server.call(PedReqObject::kName, "GeraPedidoPorRequisicao", generate).array().at(1).asInt();
    const std::string order = std::to_string(first), orders = "_" + order + "_";
    const std::string other = firstProduct(server, "0102");
    const auto lines = [&](const std::string& product, Variant quantity) {
        return Variant(DataPacket{{{"CDPRODUTO", FieldType::String, 10}, {"QTRECEBIDA", FieldType::Float, 0}},
                                  {{Variant(product), std::move(quantity)}}});
    };
    const auto counts = [&](const std::string& product, DateTime day, Variant quantity) {
        return Variant(DataPacket{{{"CDPRODUTO", FieldType::String, 10},
                                   {"DTCONTAGEM", FieldType::DateTime, 0},
                                   {"QTESTOQUE", FieldType::Float, 0}},
                                  {{Variant(product), Variant(day), std::move(quantity)}}});
    };
    const std::string tooMuch =
        "Quantidade recebida do produto " + week.milk + " deve ser de 0 a 74,600 (10 vezes o pedido).";
    const struct {
        const char* method;
        Args args;
        std::string message;
    } refused[] = {
        {"RecebePedidos",
         {orders, kDay2, kOperator},
         "A data de recebimento 16/03/2026 é posterior a hoje (15/03/2026)."},
        {"RecebeItensPedido", {Variant(first), lines(week.milk, Variant(-0.001)), kOperator}, tooMuch},
        {"RecebeItensPedido", {Variant(first), lines(week.milk, Variant(74.600001)), kOperator}, tooMuch},
        {"RecebeItensPedido",
         {Variant(first), lines(other, Variant(1.0)), kOperator},
         "O produto " + other + " não está no pedido " + order + "."},
        {"RecebeItensPedido",
         {Variant(first), lines(week.milk, Variant("dez")), kOperator},
         "Quantidade recebida de " + week.milk + " deve ser um número maior ou igual a 0."},
        {"GravaContagemEstoque",
         {"0001", counts(week.milk, kDay2, Variant(1.0)), kOperator},
         "A contagem de " + week.milk + " em 16/03/2026 é posterior a hoje (15/03/2026)."},
        {"GravaContagemEstoque",
         {"0001", counts(week.milk, kDay1, Variant(-1.0)), kOperator},
         "A contagem do produto " + week.milk + " deve ser um número maior ou igual a 0."},
        {"GravaContagemEstoque",
         {"0001", counts(week.milk, kDay1, Variant("1")), kOperator},
         "A contagem do produto " + week.milk + " deve ser um número maior ou igual a 0."},
        {"GravaContagemEstoque",
         {"0001", counts("9999999999", kDay1, Variant(1.0)), kOperator},
         "Produto 9999999999 não cadastrado."},
        {"GravaContagemEstoque", {"0001", Variant("pacote"), kOperator}, "A contagem deve ser um pacote de dados."},
    };
    for (const auto& r : refused) {
        SCOPED_TRACE(r.method + (": " + r.message));
        const std::string before = server.content(test::allTables());
        EXPECT_EQ(refusal(server, r.method, r.args), r.message);
        EXPECT_EQ(server.content(test::allTables()), before);
    }

    // Ten times the order is the most, and nothing may have come.
    call(server, "RecebeItensPedido", {Variant(first), lines(week.milk, Variant(0.0)), kOperator});
    EXPECT_EQ(server.count("SELECT count(*) FROM purchase_order_item WHERE qtrecebida = 0"), 1);
    call(server, "RecebeItensPedido", {Variant(first + 1), lines(week.milk, Variant(74.6)), kOperator});
    const DataPacket balance = call(server, "GetSaldoFilial", {"0001", kDay1}).packet();
    ASSERT_EQ(balance.rows.size(), 1u);
    EXPECT_EQ(balance.rows[0][6].asDouble(), 74.6) << "what arrived, not what was ordered";
    const DataPacket received = call(server, "GetPedidos", {"0001", kDay1, kDay3, "R"}).packet();
    ASSERT_EQ(received.rows.size(), 2u);
    EXPECT_EQ(received.rows[0][14].asString(), "Recebido");
    EXPECT_EQ(received.rows[0][16].asString(), kOperator) << "who received";

    const std::string twice = "Pedido " + order + " já foi recebido em 15/03/2026.";
    for (const auto& [method, args] :
         std::vector<std::pair<std::string, Args>>{{"RecebePedidos", {orders, kDay1, kOperator}},
                                                   {"CancelaPedido", {orders, kOperator, ""}},
                                                   {"MarcaPedidosEnviados", {orders, kOperator}}}) {
        SCOPED_TRACE(method);
        EXPECT_EQ(refusal(server, method, args), twice);
    }
    call(server, "CancelaPedido", {"_" + std::to_string(first + 2) + "_", kOperator, ""});
    EXPECT_EQ(refusal(server, "RecebePedidos", {"_" + std::to_string(first + 2) + "_", kDay1, kOperator}),
              "Pedido " + std::to_string(first + 2) + " está cancelado e não pode ser recebido.");
}

TEST_P(StockNetting, OnTheDemoNettingBuysWithinOnePercentOfTheFewestPackagesWhereRoundingEachRequisitionBuysMore) {
    TestServer server(engine());
    // Shelf lives of 0 to 9 days, whatever the demo gives its products.
    server.sql().execute("UPDATE product SET nrdiasvalidade = CAST(substr(cdproduto, 10, 1) AS INTEGER)");
    const std::string supplier = *server.sql().text(
        "SELECT cdfiliopelog FROM branch WHERE ol = 'N' GROUP BY cdfiliopelog ORDER BY count(*) DESC, cdfiliopelog"
        " LIMIT 1");
    std::string kitchens = "_";
    server.sql().each("SELECT cdfilial FROM branch WHERE cdfiliopelog = ? AND ol = 'N'", {supplier},
                      [&](const db::ResultRow& row) { kitchens += row.text(0) + "_"; });
    const DateTime end = kDay1.addDays(6);
    const auto orderWeek = [&](const char* rounding, const char* netting) {
        server.sql().execute("UPDATE requisition SET nrpedexol = NULL");
        server.sql().execute("DELETE FROM purchase_order_item_source");
        server.sql().execute("DELETE FROM purchase_order");
        call(server, "CalculaRequisicoesFiliais", {supplier, kDay1, end, 10.5, rounding, "CFP", kOperator});
        DataPacket all = listed(server, kitchens, shiftList(server), "T", kDay1, end);
        for (Row& row : all.rows) row[0] = Variant("S");
        const std::string list = requisitionList(server, all);
        call(server, "GeraPedidoPorRequisicao",
             {kitchens.substr(1, 4), kDay1, end, list, "S", kOperator, "0002", "", "", "N", netting});
        return test::packagesOrdered(server.sql());
    };
    const double perRequisition = orderWeek("S", "N");
    const double netted = orderWeek("N", "S");
    const double bound = test::lowerBoundPackages(server.sql());
    EXPECT_GT(bound, 100);
    EXPECT_LE(netted, bound * 1.01);
    EXPECT_GT(perRequisition, netted * 1.05) << "rounding each requisition buys the rest of every package again";
    EXPECT_EQ(server.count("SELECT count(*) FROM purchase_order_item WHERE qtpedido + qtsaldo < qtnecessaria - 0.000001"
                           " OR qtpedido <= 0"),
              0)
        << "every line bought buys what stock did not meet";
    EXPECT_EQ(server.count("SELECT count(*) FROM (SELECT r.nrpedexol, i.cdproduto, sum(i.qtrequisitada) AS q"
                           " FROM requisition r JOIN requisition_item i ON i.nrrequipedido = r.nrrequipedido"
                           " WHERE r.nrpedexol IS NOT NULL GROUP BY r.nrpedexol, i.cdproduto) s"
                           " JOIN purchase_order_item oi ON oi.nrpedexol = s.nrpedexol AND oi.cdproduto = s.cdproduto"
                           " WHERE abs(oi.qtnecessaria - s.q) > 0.000001"),
              0)
        << "a line needs what its requisitions need";
}
