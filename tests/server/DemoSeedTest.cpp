#include <gtest/gtest.h>

#include "ServerTestSupport.h"
#include "server/seed/DemoSeed.h"

#include <optional>
#include <regex>

using namespace krv;
using namespace krv::server;
using krv::server::test::TestServer;

namespace {

class DemoSeed : public test::EngineTest {};
KRV_ON_BOTH_ENGINES(DemoSeed);

// The codes of a column, checked against a pattern in C++: the engines' own pattern
// operators differ.
void expectEveryCode(const TestServer& server, const std::string& sql, const std::regex& form) {
    server.sql().each(
        sql, {}, [&](const db::ResultRow& row) { EXPECT_TRUE(std::regex_match(row.text(0), form)) << row.text(0); });
}

}  // namespace

TEST_P(DemoSeed, SeedsOnlyAnEmptyDatabaseAndTheSameDataEveryTime) {
    test::TestDatabase one(engine()), other(engine());
    Application first({one.target(), true, test::fixedNow});
    Application second({other.target(), true, test::fixedNow});
    EXPECT_TRUE(first.seededNow());
    const std::string seeded = test::contentOf(first.database().connection(), test::allTables());
    EXPECT_EQ(test::firstDifference(test::contentOf(second.database().connection(), test::allTables()), seeded), "");

    EXPECT_FALSE(seedDemo(first.database().connection(), test::seedDate().addDays(5)));
    EXPECT_EQ(test::firstDifference(test::contentOf(first.database().connection(), test::allTables()), seeded), "");
}

TEST_P(DemoSeed, CompanyShapeAndCodesInNormalForm) {
    TestServer server(engine());
    EXPECT_GE(server.count("SELECT count(*) FROM branch"), 6);
    EXPECT_EQ(server.count("SELECT count(*) FROM branch WHERE ol = 'S'"), 1);
    EXPECT_EQ(server.count("SELECT count(*) FROM branch WHERE ol = 'N' AND cdfiliopelog IS DISTINCT FROM"
                           " (SELECT cdfilial FROM branch WHERE ol = 'S')"),
              0)
        << "every ordinary branch is supplied by the operator";
    EXPECT_EQ(server.count("SELECT count(*) FROM branch WHERE dtproc <> '2026-03-15'"), 0);

    expectEveryCode(server, "SELECT cdfilial FROM branch", std::regex("[0-9]{4}"));
    expectEveryCode(server, "SELECT cdservfili FROM service", std::regex("[0-9]{4}"));
    EXPECT_EQ(server.count("SELECT count(*) FROM shift WHERE length(cdturno) <> 1 OR length(nmturno) > 10"), 0);
    EXPECT_EQ(server.count("SELECT count(*) FROM (SELECT count(*) n FROM service GROUP BY cdfilial"
                           " HAVING count(*) NOT BETWEEN 3 AND 4) x"),
              0);
    EXPECT_EQ(server.count("SELECT count(*) FROM service s WHERE (SELECT count(*) FROM shift t"
                           " WHERE t.cdfilial = s.cdfilial AND t.cdservfili = s.cdservfili) NOT BETWEEN 1 AND 3"),
              0);
    EXPECT_EQ(server.count("SELECT count(*) FROM product_grouping"), 8);
    EXPECT_GE(server.count("SELECT count(*) FROM product"), 145);
    expectEveryCode(server, "SELECT cdproduto FROM product", std::regex("[0-9]{10}"));
    EXPECT_EQ(server.count("SELECT count(DISTINCT cdprato) FROM recipe"), 40);
    EXPECT_EQ(server.count("SELECT count(*) FROM parameters WHERE cdtipopratoconsfixo IS NULL OR cdpratoconsfixo"
                           " IS NULL OR cdtipopratoconsper IS NULL OR cdpratoconsper IS NULL"),
              0);
    for (const std::string table : {"fixed_consumption", "percapita_consumption"})
        EXPECT_EQ(server.count("SELECT count(*) FROM service s WHERE NOT EXISTS (SELECT 1 FROM " + table +
                               " x WHERE x.cdfilial = s.cdfilial AND x.cdservfili = s.cdservfili)"),
                  0)
            << "every service has " << table;
}

// Each product keeps, once received, for as long as what it is: fresh meat and greens for
// days, dairy for a week or two, dry goods for a year; none is left at the 0 of a product
// nobody described.
TEST_P(DemoSeed, ProductsKeepForAsLongAsWhatTheyAre) {
    TestServer server(engine());
    const std::vector<std::pair<std::string, int64_t>> lives = {{"Leite integral", 5},
                                                                {"Ovos", 14},
                                                                {"Arroz agulhinha tipo 1", 365},
                                                                {"Alface crespa", 2},
                                                                {"Feijão carioca", 365},
                                                                {"Carne bovina patinho", 3},
                                                                {"Pão francês", 1},
                                                                {"Óleo de soja", 365},
                                                                {"Copo descartável 200 ml", 3650}};
    for (const auto& [name, days] : lives) {
        std::optional<int64_t> stored;
        server.sql().each("SELECT nrdiasvalidade FROM product WHERE nmproduto = ?", {name},
                          [&](const db::ResultRow& row) { stored = row.integer(0); });
        EXPECT_EQ(stored, days) << name;
    }
    EXPECT_EQ(server.count("SELECT count(*) FROM product WHERE nrdiasvalidade = 0"), 0);
    EXPECT_EQ(
        server.count("SELECT count(*) FROM product WHERE cdsubgrprod IN ('0101', '0102') AND nrdiasvalidade > 60"), 0)
        << "meat, fish and greens keep for days or weeks, never months";
}

TEST_P(DemoSeed, EveryShiftHasMenusAndDinersOnEveryDayOfTheRange) {
    TestServer server(engine());
    const int64_t shifts = server.count("SELECT count(*) FROM shift");
    constexpr int kDays = 30 + 1 + 60;
    const std::string inRange = " BETWEEN '2026-02-13' AND '2026-05-14'";
    EXPECT_EQ(server.count("SELECT count(DISTINCT cdfilial || cdservfili || cdturno || dtcardapio) FROM menu"
                           " WHERE dtcardapio" +
                           inRange),
              shifts * kDays);
    EXPECT_EQ(server.count("SELECT count(*) FROM diners_forecast WHERE nrcomensais > 0 AND dtprevisao" + inRange),
              shifts * kDays);
    EXPECT_EQ(server.count("SELECT count(*) FROM menu WHERE dtcardapio NOT" + inRange), 0);
    // A lunch has rice, beans, a main course, a side, a salad, a dessert and a drink.
    EXPECT_EQ(server.count("SELECT count(*) FROM menu WHERE cdfilial = '0001' AND cdservfili = '0002'"
                           " AND cdturno = '1' AND dtcardapio = '2026-03-15'"),
              7);
}

namespace {

struct LargeCompany {
    explicit LargeCompany(test::Engine engine, int branches) : database(engine) {
        ApplicationOptions options{database.target(), true, test::fixedNow};
        options.demoSize = DemoSize{branches};
        app = std::make_unique<Application>(options);
    }
    int64_t count(const std::string& sql) { return *app->database().connection().integer(sql); }

    test::TestDatabase database;
    std::unique_ptr<Application> app;
};

}  // namespace

TEST_P(DemoSeed, LargeCompanyHasItsBranchesTheirOperatorsAndASpreadOfServices) {
    LargeCompany company(engine(), 30);
    EXPECT_EQ(company.count("SELECT count(*) FROM branch WHERE ol = 'N'"), 30);
    EXPECT_EQ(company.count("SELECT count(*) FROM branch WHERE ol = 'S'"), 2) << "one operator per 25 branches";
    EXPECT_EQ(company.count("SELECT count(*) FROM branch b WHERE ol = 'N' AND NOT EXISTS (SELECT 1 FROM branch o"
                            " WHERE o.cdfilial = b.cdfiliopelog AND o.ol = 'S')"),
              0);
    EXPECT_EQ(company.count("SELECT max(n) FROM (SELECT count(*) n FROM branch WHERE ol = 'N'"
                            " GROUP BY cdfiliopelog) x"),
              25);
    EXPECT_EQ(company.count("SELECT count(*) FROM branch b WHERE ol = 'N' AND NOT EXISTS (SELECT 1 FROM service s"
                            " WHERE s.cdfilial = b.cdfilial)"),
              0);
    EXPECT_GT(company.count("SELECT count(DISTINCT n) FROM (SELECT count(*) n FROM service GROUP BY cdfilial) x"), 1)
        << "not every branch serves every service";
    EXPECT_GT(company.count("SELECT count(DISTINCT n) FROM (SELECT count(*) n FROM shift"
                            " GROUP BY cdfilial, cdservfili) x"),
              1);
    // A service's day, its shifts together, lies within the range; the extremes are reached.
    const std::string days =
        "(SELECT sum(nrcomensais) n FROM diners_forecast GROUP BY cdfilial, cdservfili, dtprevisao) x";
    EXPECT_EQ(company.count("SELECT min(n) FROM " + days), 60);
    EXPECT_LE(company.count("SELECT max(n) FROM " + days), 300);
    EXPECT_GT(company.count("SELECT max(n) FROM " + days), 250);
    EXPECT_EQ(company.count("SELECT count(*) FROM shift t WHERE NOT EXISTS (SELECT 1 FROM menu m WHERE m.cdfilial ="
                            " t.cdfilial AND m.cdservfili = t.cdservfili AND m.cdturno = t.cdturno"
                            " AND m.dtcardapio = '2026-03-15')"),
              0);
}

TEST_P(DemoSeed, LargeCompanyIsTheSameEveryTimeAndItsBranchesCalculate) {
    LargeCompany one(engine(), 26), other(engine(), 26);
    const std::string seeded = test::contentOf(one.app->database().connection(), test::allTables());
    EXPECT_EQ(test::firstDifference(test::contentOf(other.app->database().connection(), test::allTables()), seeded),
              "");
    EXPECT_EQ(one.count("SELECT count(*) FROM branch WHERE cdfiliopelog = '0028'"), 1) << "the 26th branch's operator";

    const rpc::Dispatcher& d = one.app->dispatcher();
    const rpc::Caller oper{kDemoOperator, "test"};
    std::vector<Variant> serviceArgs{"0026", "T", ""};
    const Variant services =
        d.dispatch(oper, PedReqObject::kName, "GetNrListaServ", serviceArgs).result.array().at(1).array().at(0);
    std::vector<Variant> args{
        "0026", test::seedDate(), test::seedDate().addDays(6), 0.0, "N", "CFP", kDemoOperator, "0026", services, "",
        ""};
    const rpc::Outcome outcome = d.dispatch(oper, PedReqObject::kName, "CalculaRequisicoes", args);
    ASSERT_TRUE(outcome.ok && outcome.result.array().at(0).asBool()) << outcome.result.asString();
    EXPECT_GT(one.count("SELECT count(*) FROM requisition WHERE cdfilial = '0026' AND cdfiliopelog = '0028'"), 7);
    EXPECT_EQ(one.count("SELECT count(*) FROM requisition WHERE cdfiliopelog <> '0028'"), 0);
}

TEST_P(DemoSeed, LargeCompanyOutsideItsSizesIsRefusedAndWritesNothing) {
    TestServer server(engine(), false);
    for (const int branches : {0, -1, kMaxDemoBranches + 1})
        EXPECT_THROW(seedDemo(server.sql(), test::seedDate(), DemoSize{branches}), std::invalid_argument) << branches;
    EXPECT_EQ(server.count("SELECT count(*) FROM branch") + server.count("SELECT count(*) FROM product"), 0);
}
