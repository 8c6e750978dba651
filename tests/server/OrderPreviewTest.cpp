// The preview of a generation and the rounding of order lines to whole packages.
#include <gtest/gtest.h>

#include <cmath>

#include "OrderCases.h"
#include "server/domain/OrderPreview.h"

using namespace krv;
using namespace krv::server::test::orders;
using krv::server::PedReqObject;
using krv::server::test::addRequisition;
using krv::server::test::TestServer;
namespace test = krv::server::test;
namespace db = krv::server::db;

namespace {

// Everything but what a preview may remember of its list.
std::vector<std::string> domainTables() {
    std::vector<std::string> tables = test::allTables();
    std::erase_if(tables, [](const std::string& t) { return t.starts_with("order_preview"); });
    return tables;
}

Args withRounding(Args args, const std::string& rounding) {
    args.push_back(rounding);
    return args;
}

// Each preview line as the order line it announces: the number it will get, the order's key,
// product, needed and ordered.
Texts previewed(const DataPacket& lines, int64_t first) {
    Texts out;
    for (const Row& r : lines.rows)
        out.push_back(std::to_string(first + r[0].asInt() - 1) + " " + r[1].asString() + " " +
                      r[3].asDateTime().toBr() + " " + r[4].asString() + " " + r[5].asString() + " " +
                      (r[6].isNull() ? "-" : r[6].asString()) + " " + r[7].asString() + " " +
                      Variant(r[10].asDouble()).asString() + " " + Variant(r[11].asDouble()).asString());
    return out;
}

Texts written(const TestServer& server, int64_t after) {
    Texts out;
    server.sql().each(
        "SELECT o.nrpedexol, o.cdfiliopelog, o.dtpedido, o.cdfilial, o.cdservfili, o.cdturno, i.cdproduto,"
        " i.qtnecessaria, i.qtpedido FROM purchase_order o JOIN purchase_order_item i ON i.nrpedexol = o.nrpedexol"
        " WHERE o.nrpedexol > ? ORDER BY o.nrpedexol, i.cdproduto",
        {after}, [&](const db::ResultRow& r) {
            out.push_back(std::to_string(r.integer(0)) + " " + r.text(1) + " " + r.dateTime(2).toBr() + " " +
                          r.text(3) + " " + r.text(4) + " " + (r.isNull(5) ? "-" : r.text(5)) + " " + r.text(6) +
                          " " + Variant(r.real(7)).asString() + " " + Variant(r.real(8)).asString());
        });
    return out;
}

class OrderPreview : public test::EngineTest {};
KRV_ON_BOTH_ENGINES(OrderPreview);

}  // namespace

TEST_P(OrderPreview, ThePreviewIsTheGenerationThatFollowsLineForLineAndWritesNothing) {
    TestServer server(engine());
    HandCase hand(server);
    server.sql().execute("UPDATE product SET qtembalagem = 4");
    const std::string list =
        requisitionList(server, marking(listed(server, "_0001_0002_", shiftList(server)), hand.all()));
    const struct {
        const char *perShift, *branch, *service, *rounding;
    } cases[] = {{"S", "", "", "N"}, {"N", "", "", "S"}, {"N", "0003", "0005", "S"}, {"S", "0003", "", "N"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.perShift) + c.branch + c.service + c.rounding);
        reopen(server.sql(), 500);
        const Args args = withRounding(generation(list, c.perShift, c.branch, c.service), c.rounding);
        const std::string before = server.content(domainTables());
        const Variant preview = call(server, "PreviaPedidoPorRequisicao", args);
        ASSERT_EQ(preview.type(), Variant::Type::Packet);
        EXPECT_EQ(preview.packet().fields, server::previewFields());
        EXPECT_EQ(server.content(domainTables()), before) << "a preview writes nothing";
        const Variant made = call(server, "GeraPedidoPorRequisicao", args);
        EXPECT_EQ(previewed(preview.packet(), made.array().at(1).asInt()), written(server, 500));
        EXPECT_EQ(preview.packet().rows.back()[0], made.array().at(0)) << "the last sequence is the count";
        EXPECT_EQ(server.count("SELECT count(*) FROM order_preview"), 0) << "a generation uses its preview up";
        expectConsistent(server.sql());
    }
}

TEST_P(OrderPreview, AGenerationIsRefusedWhenTheListedRequisitionsChangedSinceThePreview) {
    TestServer server(engine());
    HandCase hand(server);
    const DataPacket all = listed(server, "_0001_0002_", shiftList(server));
    const auto number = [&](const char* name) {
        for (const auto& [n, text] : hand.names)
            if (text == name) return n;
        return int64_t(0);
    };
    const std::string again = " Nada foi gerado; confirme de novo para ver a nova prévia.";
    const auto r = [&](const char* name) { return "a requisição " + std::to_string(number(name)); };
    const struct {
        const char* what;
        std::function<void(const std::string& list)> meanwhile;
        Args (*asked)(const std::string& list);
        std::string message;
    } cases[] = {
        {"another operator ordered two of them",
         [&](const std::string&) {
             call(server, "GeraPedidoPorRequisicao",
                  generation(requisitionList(server, marking(all, {number("R1"), number("R2")}))));
         },
         [](const std::string& l) { return generation(l); },
         "As requisições marcadas mudaram desde a prévia: " + r("R1") + " recebeu pedido; " + r("R2") +
             " recebeu pedido." + again},
        {"one was recalculated",
         [&](const std::string&) {
             server.sql().execute("UPDATE requisition_item SET qtrequisitada = qtrequisitada + 0.001"
                                  " WHERE nrrequipedido = ?",
                                  {number("R3")});
         },
         [](const std::string& l) { return generation(l); },
         "As requisições marcadas mudaram desde a prévia: " + r("R3") + " foi recalculada." + again},
        {"one was ordered before the preview and freed after it",
         [&](const std::string&) {
             const std::string order = std::to_string(
                 server.count("SELECT nrpedexol FROM requisition WHERE nrrequipedido = " + std::to_string(number("R3"))));
             call(server, "CancelaPedido", {"_" + order + "_", kOperator});
         },
         [](const std::string& l) { return generation(l); },
         "As requisições marcadas mudaram desde a prévia: " + r("R3") + " ficou sem pedido." + again},
        {"the generation is asked otherwise", [](const std::string&) {},
         [](const std::string& l) { return withRounding(generation(l, "N"), "N"); },
         "A geração foi pedida com outras opções que as da prévia." + again},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        reopen(server.sql(), 500);
        const std::string list = requisitionList(server, marking(all, hand.all()));
        if (&c == &cases[2])  // ordered by another list before the preview
            call(server, "GeraPedidoPorRequisicao", generation(requisitionList(server, marking(all, {number("R3")}))));
        call(server, "PreviaPedidoPorRequisicao", generation(list));
        c.meanwhile(list);
        const std::string before = server.content(test::allTables());
        EXPECT_EQ(refusal(server, "GeraPedidoPorRequisicao", c.asked(list)), c.message);
        EXPECT_EQ(server.content(test::allTables()), before);
        // A new look at the list makes the generation go through.
        call(server, "PreviaPedidoPorRequisicao", c.asked(list));
        EXPECT_EQ(call(server, "GeraPedidoPorRequisicao", c.asked(list)).array().size(), 3u);
        expectConsistent(server.sql());
        server.sql().execute("DELETE FROM purchase_order_cancellation");
    }
}

TEST_P(OrderPreview, APreviewRefusesWhatTheGenerationRefusesAndATenthArgumentOtherThanSOrN) {
    TestServer server(engine());
    HandCase hand(server);
    const std::string list =
        requisitionList(server, marking(listed(server, "_0001_0002_", shiftList(server)), hand.all()));
    const struct {
        size_t at;
        Variant value;
        std::string message;
    } cases[] = {
        {0, "0099", "Filial 0099 não cadastrada."},
        {3, "987654", "Lista de requisições 987654 não encontrada."},
        {4, "s", "Gerar pedido por turno deve ser \"S\" ou \"N\"."},
        {8, "0003", "Serviço 0003 não cadastrado na filial 0001."},
        {9, "s", "Arredondar no pedido deve ser \"S\" ou \"N\"."},
        {9, "", "Arredondar no pedido deve ser \"S\" ou \"N\"."},
        {9, int64_t(1), "Arredondar no pedido deve ser \"S\" ou \"N\"."},
    };
    const std::string before = server.content(test::allTables());
    for (const auto& c : cases)
        for (const char* method : {"PreviaPedidoPorRequisicao", "GeraPedidoPorRequisicao"}) {
            Args args = withRounding(generation(list), "N");
            args[c.at] = c.value;
            EXPECT_EQ(refusal(server, method, args), c.message) << method << " " << c.at;
        }
    EXPECT_EQ(server.content(test::allTables()), before);

    // With everything ordered, both say that nothing is pending.
    call(server, "GeraPedidoPorRequisicao", generation(list));
    EXPECT_EQ(refusal(server, "PreviaPedidoPorRequisicao", generation(list)), server::kNothingPending);
    EXPECT_EQ(refusal(server, "GeraPedidoPorRequisicao", generation(list)), server::kNothingPending);
}

// Three requisitions of one order, each product a case: its package size and what each
// requisition needs of it.
TEST_P(OrderPreview, RoundingAtTheOrderBuysWholePackagesOfTheSummedNeedOnce) {
    TestServer server(engine());
    std::vector<std::string> products;
    server.sql().each("SELECT cdproduto FROM product ORDER BY cdproduto", {},
                      [&](const db::ResultRow& r) { products.push_back(r.text(0)); });
    const struct {
        double package;
        double parts[3];
        double ordered;
    } cases[] = {
        {15, {1.64, 1.64, 1.64}, 15},   // margarine: one package, not one per requisition
        {1, {0.1, 0.2, 0.7}, 1},        // exactly one package that floating point puts above it
        {15, {5, 5, 5}, 15},            // exactly the package
        {15, {5, 5, 5.01}, 30},         // just past it
        {0.5, {0.1, 0.1, 0.1}, 0.5},    // packages smaller than one unit
        {2.5, {0, 0, 0}, 0},            // nothing needed, nothing bought
    };
    ASSERT_GE(products.size(), std::size(cases));
    std::set<int64_t> numbers;
    const char* shiftsAndGroupings[][2] = {{"1", "0101"}, {"2", "0101"}, {"1", "0102"}};
    for (size_t part = 0; part < 3; ++part) {
        test::NewRequisition r{"0001", "0004", shiftsAndGroupings[part][0], kDay1, "01", shiftsAndGroupings[part][1],
                               "0007", {}};
        for (size_t i = 0; i < std::size(cases); ++i) r.items.push_back({products[i], "C", cases[i].parts[part]});
        numbers.insert(addRequisition(server.sql(), r));
    }
    for (size_t i = 0; i < std::size(cases); ++i)
        server.sql().execute("UPDATE product SET qtembalagem = ? WHERE cdproduto = ?", {cases[i].package, products[i]});
    const std::string list = requisitionList(server, marking(listed(server, "_0001_", shiftList(server)), numbers));
    const Args args = withRounding(generation(list, "N"), "S");

    const DataPacket preview = call(server, "PreviaPedidoPorRequisicao", args).packet();
    ASSERT_EQ(preview.rows.size(), std::size(cases)) << "one order, one line per product";
    call(server, "GeraPedidoPorRequisicao", args);
    for (size_t i = 0; i < std::size(cases); ++i) {
        const auto& c = cases[i];
        SCOPED_TRACE(products[i]);
        const Row& line = preview.rows[i];
        const double need = c.parts[0] + c.parts[1] + c.parts[2];
        const double ordered = line[11].asDouble(), packages = line[13].asDouble();
        EXPECT_NEAR(ordered, c.ordered, 1e-9);
        EXPECT_NEAR(packages, std::round(packages), 1e-9) << "a whole number of packages";
        EXPECT_GE(ordered, need - 1e-6 * c.package);
        EXPECT_LT(ordered, need + c.package);
        EXPECT_NEAR(line[10].asDouble(), need, 1e-9);
        EXPECT_NEAR(line[14].asDouble(), ordered - need, 1e-9) << "the surplus";
        EXPECT_NEAR(server.count("SELECT count(*) FROM purchase_order_item WHERE cdproduto = '" + products[i] +
                                 "' AND abs(qtpedido - " + Variant(ordered).asString() + ") < 0.000000001" +
                                 " AND abs(qtnecessaria - " + Variant(need).asString() + ") < 0.000000001"),
                    1, 0)
            << "the order keeps what was needed and what was ordered";
    }
}
