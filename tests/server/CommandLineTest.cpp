#include <gtest/gtest.h>

#include "server/service/CommandLine.h"

using namespace krv::server;

TEST(CommandLine, ReadsEveryOptionInBothForms) {
    const ServerCommand c = parseCommandLine({"--db", "/tmp/a.db", "--listen=0.0.0.0:5400", "--seed", "demo",
                                              "--token-file", "t.txt", "--threads=8", "--sem-tls"});
    EXPECT_EQ(c.database, "/tmp/a.db");
    EXPECT_EQ(c.host, "0.0.0.0");
    EXPECT_EQ(c.port, 5400);
    EXPECT_TRUE(c.seedDemo);
    EXPECT_EQ(c.tokenFile, "t.txt");
    EXPECT_EQ(c.threads, 8u);

    const ServerCommand defaults = parseCommandLine({"--db=x.db"});
    EXPECT_EQ(defaults.host, "127.0.0.1") << "loopback unless told otherwise";
    EXPECT_EQ(defaults.port, 0);
    EXPECT_FALSE(defaults.seedDemo);
    EXPECT_TRUE(parseCommandLine({"--help"}).help);
}

TEST(CommandLine, SeedsTheDemoOrALargeCompanyOfUpToFiveThousandBranches) {
    const struct {
        const char* seed;
        std::optional<unsigned> branches;
    } cases[] = {{"demo", std::nullopt}, {"demo:1", 1u}, {"demo:30", 30u}, {"demo:5000", 5000u}};
    for (const auto& c : cases) {
        const ServerCommand command = parseCommandLine({"--db", "a.db", "--seed", c.seed});
        EXPECT_TRUE(command.seedDemo) << c.seed;
        EXPECT_EQ(command.demoBranches, c.branches) << c.seed;
    }
}

TEST(CommandLine, RefusesWhatItCannotObey) {
    const std::vector<std::vector<std::string>> bad{
        {},        // no database
        {"--db"},  // value missing
        {"--db", ""},
        {"--db", "a.db", "--port", "1"},  // unknown option
        {"--db", "a.db", "extra"},
        {"--db", "a.db", "--listen", "5400"},  // no host
        {"--db", "a.db", "--listen", ":5400"},
        {"--db", "a.db", "--listen", "127.0.0.1:65536"},
        {"--db", "a.db", "--listen", "127.0.0.1:-1"},
        {"--db", "a.db", "--listen", "127.0.0.1:80x"},
        {"--db", "a.db", "--seed", "full"},
        {"--db", "a.db", "--seed", "demo:0"},
        {"--db", "a.db", "--seed", "demo:5001"},  // one past the largest company
        {"--db", "a.db", "--seed", "demo:100001"},
        {"--db", "a.db", "--seed", "demo:x"},
        {"--db", "a.db", "--seed", "demo:"},
        {"--db", "a.db", "--seed", "demo:-1"},
        {"--db", "a.db", "--seed", "demo:30x"},
        {"--db", "a.db", "--seed", "demo:4294967326"},  // wraps to 30 in 32 bits
        {"--db", "a.db", "--seed", "demos:30"},
        {"--db", "a.db", "--threads", "0"},
        {"--db", "a.db", "--threads", "65"},
        {"--db", "a.db", "--threads", "dois"},
        {"--db", "a.db", "--altera-operador", "MARIA"},  // nothing to change
        {"--db", "a.db", "--altera-operador", "MA-RIA", "--papel", "compras"},
        {"--db", "a.db", "--desativa-operador", ""},
        {"--db", "a.db", "--auditoria", "--de", "01/03/2026"},
        {"--db", "a.db", "--auditoria", "--de", "29/02/2026", "--ate", "01/03/2026"},  // no such day
        {"--db", "a.db", "--auditoria", "--de", "02/03/2026", "--ate", "01/03/2026"},
    };
    for (const auto& args : bad) {
        std::string joined;
        for (const auto& a : args) joined += a + " ";
        EXPECT_THROW(parseCommandLine(args), UsageError) << joined;
    }
}

TEST(CommandLine, ReadsTheOperatorsAdministrationAndTheAudit) {
    const ServerCommand altered = parseCommandLine(
        {"--db", "a.db", "--altera-operador", "MARIA", "--papel", "operador logístico", "--filiais=0001,0002"});
    EXPECT_EQ(altered.alterOperator, "MARIA");
    EXPECT_EQ(altered.role, "operador logístico");
    EXPECT_EQ(altered.branches, "0001,0002");
    EXPECT_FALSE(altered.newPassword);
    EXPECT_TRUE(parseCommandLine({"--db", "a.db", "--altera-operador", "MARIA", "--troca-senha"}).newPassword);
    EXPECT_EQ(parseCommandLine({"--db", "a.db", "--desativa-operador", "MARIA"}).deactivateOperator, "MARIA");
    EXPECT_TRUE(parseCommandLine({"--db", "a.db", "--lista-operadores"}).listOperators);
    const auto audit =
        parseCommandLine({"--db", "a.db", "--auditoria", "--de", "01/03/2026", "--ate", "01/03/2026"}).audit;
    ASSERT_TRUE(audit);
    EXPECT_EQ(audit->first, krv::DateTime::fromDate(2026, 3, 1));
    EXPECT_EQ(audit->second, audit->first) << "a single day is a period";
}
