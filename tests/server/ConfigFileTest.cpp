#include <gtest/gtest.h>

#include <fstream>

#include "server/service/CommandLine.h"
#include "support/TempDir.h"

using namespace krv::server;

namespace {

struct ConfigCase {
    const char* text;
    std::vector<std::string> problems;  // each "LINHA: motivo" after the file's name
};

std::string written(const krv::support::TempDir& dir, const std::string& text) {
    const std::string path = dir.file("krv-server.conf");
    std::ofstream(path) << text;
    return path;
}

std::vector<std::string> problemsOf(const std::string& path) {
    try {
        readServerConfig(path);
        return {};
    } catch (const ConfigError& e) {
        std::vector<std::string> relative;
        for (const std::string& problem : e.problems) relative.push_back(problem.substr(path.size() + 1));
        return relative;
    }
}

}  // namespace

TEST(ConfigFile, NamesEachProblemByLine) {
    krv::support::TempDir dir{"krv-config"};
    const std::vector<ConfigCase> cases{
        {"db = \"/var/lib/krv/krv.db\"\nlisten = \"127.0.0.1:7420\"\nsem-tls = false\nocioso = 604800\n"
         "max-conexoes = 1\nmanter = 3650\n",
         {}},
        {"db = \"a.db\"\nporta = 7420\n", {"2: chave desconhecida \"porta\""}},
        {"db = \"a.db\"\nthreads = \"4\"\nsem-tls = \"sim\"\n",
         {"2: threads deve ser um número inteiro", "3: sem-tls deve ser true ou false"}},
        {"db = 3\n", {"1: db deve ser um texto entre aspas"}},
        {"max-conexoes = -1\n", {"1: max-conexoes deve ser um número inteiro"}},
        {"[limites]\nocioso = 10\n", {"1: chave desconhecida \"limites\""}},
        {"db = \"a.db\"\n\nocioso = 604801\n", {"3: valor inválido para --ocioso: \"604801\" (de 1 a 604800)"}},
        {"threads = 0\nthreads2 = 1\n",
         {"1: valor inválido para --threads: \"0\" (de 1 a 64)", "2: chave desconhecida \"threads2\""}},
        {"listen = \"127.0.0.1:porta\"\n", {"1: --listen: "}},
        {"db = \"a.db\"\nlisten = \"127.0.0.1:7420\n", {"2: "}},
    };
    for (const ConfigCase& c : cases) {
        const std::vector<std::string> found = problemsOf(written(dir, c.text));
        ASSERT_EQ(found.size(), c.problems.size()) << c.text << (found.empty() ? "" : found.front());
        for (size_t i = 0; i < found.size(); ++i) EXPECT_TRUE(found[i].starts_with(c.problems[i])) << found[i];
    }
    EXPECT_EQ(problemsOf(dir.file("falta.conf")).at(0).find("não encontrado") != std::string::npos, true);
}

TEST(ConfigFile, FillsWhatTheCommandLineLeavesOut) {
    krv::support::TempDir dir{"krv-config"};
    const std::string path = written(dir,
                                     "db = \"/var/lib/krv/krv.db\"\nlisten = \"0.0.0.0:7420\"\nsem-tls = true\n"
                                     "threads = 8\nocioso = 90\nmax-quadro = 4096\nprazo-quadro = 3600\nmanter = 2\n");
    const ServerCommand fromFile = parseCommandLine({"--config", path});
    EXPECT_EQ(fromFile.database, "/var/lib/krv/krv.db");
    EXPECT_EQ(fromFile.host, "0.0.0.0");
    EXPECT_EQ(fromFile.port, 7420);
    EXPECT_TRUE(fromFile.withoutTls);
    EXPECT_EQ(fromFile.threads, 8u);
    EXPECT_EQ(fromFile.idleSeconds, 90u);
    EXPECT_EQ(fromFile.maxFrameBytes, 4096u);
    EXPECT_EQ(fromFile.frameSeconds, 3600u);
    EXPECT_EQ(fromFile.keepBackups, 2u);

    const ServerCommand overridden =
        parseCommandLine({"--config", path, "--db", "outro.db", "--listen", "127.0.0.1:0", "--threads", "2"});
    EXPECT_EQ(overridden.database, "outro.db");
    EXPECT_EQ(overridden.host, "127.0.0.1");
    EXPECT_EQ(overridden.port, 0);
    EXPECT_EQ(overridden.threads, 2u);
    EXPECT_EQ(overridden.idleSeconds, 90u) << "what the command line does not say still comes from the file";

    // Options that only make sense together are checked together, naming the file.
    const std::string lonelyCert = written(dir, "db = \"a.db\"\ntls-cert = \"c.pem\"\n");
    try {
        parseCommandLine({"--config", lonelyCert});
        ADD_FAILURE() << "a certificate without its key was taken";
    } catch (const UsageError& e) {
        EXPECT_NE(std::string(e.what()).find(lonelyCert), std::string::npos) << e.what();
    }
    EXPECT_THROW(parseCommandLine({"--db", "a.db", "--verifica"}), UsageError);
}
