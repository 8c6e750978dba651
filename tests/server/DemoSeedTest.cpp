#include <gtest/gtest.h>

#include "ServerTestSupport.h"
#include "server/DemoSeed.h"

using namespace krv;
using namespace krv::server;
using krv::server::test::TestServer;

namespace {

// Every row of the tables the seed writes, as one text: equal texts, equal databases.
std::string contentOf(const TestServer& server) {
    std::string all;
    for (const char* table :
         {"branch", "service", "shift", "product_group", "product_grouping", "product", "dish_type", "dish", "recipe",
          "menu", "diners_forecast", "fixed_consumption", "percapita_consumption", "parameters"}) {
        SQLite::Statement rows(server.app->storage().connection().database(),
                               std::string("SELECT * FROM ") + table + " ORDER BY 1, 2");
        while (rows.executeStep())
            for (int i = 0; i < rows.getColumnCount(); ++i) all += rows.getColumn(i).getString() + "|";
        all += "\n";
    }
    return all;
}

}  // namespace

TEST(DemoSeed, SeedsOnlyAnEmptyDatabaseAndTheSameDataEveryTime) {
    TestServer first;
    TestServer second;
    EXPECT_TRUE(first.app->seededNow());
    EXPECT_EQ(contentOf(first), contentOf(second));

    const std::string before = contentOf(first);
    EXPECT_FALSE(seedDemo(first.app->storage().connection(), test::seedDate().addDays(5)));
    EXPECT_EQ(contentOf(first), before);
}

TEST(DemoSeed, CompanyShapeAndCodesInNormalForm) {
    TestServer server;
    EXPECT_GE(server.count("SELECT count(*) FROM branch"), 6);
    EXPECT_EQ(server.count("SELECT count(*) FROM branch WHERE ol = 'S'"), 1);
    EXPECT_EQ(server.count("SELECT count(*) FROM branch WHERE ol = 'N' AND cdfiliopelog IS NOT"
                           " (SELECT cdfilial FROM branch WHERE ol = 'S')"),
              0)
        << "every ordinary branch is supplied by the operator";
    EXPECT_EQ(server.count("SELECT count(*) FROM branch WHERE dtproc <> '2026-03-15'"), 0);

    EXPECT_EQ(server.count("SELECT count(*) FROM branch WHERE cdfilial NOT GLOB '[0-9][0-9][0-9][0-9]'"), 0);
    EXPECT_EQ(server.count("SELECT count(*) FROM service WHERE cdservfili NOT GLOB '[0-9][0-9][0-9][0-9]'"), 0);
    EXPECT_EQ(server.count("SELECT count(*) FROM shift WHERE length(cdturno) <> 1 OR length(nmturno) > 10"), 0);
    EXPECT_EQ(server.count("SELECT count(*) FROM (SELECT count(*) n FROM service GROUP BY cdfilial"
                           " HAVING n NOT BETWEEN 3 AND 4)"),
              0);
    EXPECT_EQ(server.count("SELECT count(*) FROM service s WHERE (SELECT count(*) FROM shift t"
                           " WHERE t.cdfilial = s.cdfilial AND t.cdservfili = s.cdservfili) NOT BETWEEN 1 AND 3"),
              0);
    EXPECT_EQ(server.count("SELECT count(*) FROM product_grouping"), 8);
    EXPECT_GE(server.count("SELECT count(*) FROM product"), 145);
    EXPECT_EQ(server.count("SELECT count(*) FROM product WHERE cdproduto NOT GLOB "
                           "'[0-9][0-9][0-9][0-9][0-9][0-9][0-9][0-9][0-9][0-9]'"),
              0);
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

TEST(DemoSeed, EveryShiftHasMenusAndDinersOnEveryDayOfTheRange) {
    TestServer server;
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
