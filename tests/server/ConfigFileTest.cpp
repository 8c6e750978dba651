#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <fstream>

#include "server/service/CommandLine.h"
#include "support/TempDir.h"

using namespace krv::server;

namespace {

struct ConfigCase {
    const char* text;
    std::vector<std::string> problems;   // each "LINHA: motivo" (or " motivo") after the file's name
    std::vector<std::string> args = {};  // the command line beside --config
};

std::string written(const krv::support::TempDir& dir, const std::string& text) {
    const std::string path = dir.file("krv-server.conf");
    std::ofstream(path) << text;
    return path;
}

// The problems as the program prints them (one line each, exit 1), after the file's name.
std::vector<std::string> problemsOf(const std::string& path, std::vector<std::string> args = {}) {
    args.insert(args.begin(), {"--config", path});
    try {
        parseCommandLine(args);
        return {};
    } catch (const ConfigError& e) {
        std::vector<std::string> relative;
        for (const std::string& problem : e.problems) {
            EXPECT_TRUE(problem.starts_with(path + ":")) << problem;
            EXPECT_EQ(problem.find('\n'), std::string::npos) << problem;
            relative.push_back(problem.substr(path.size() + 1));
        }
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
        {"max-conexoes = -1\n", {"1: max-conexoes não pode ser negativo (-1)"}},
        {"db = \"a.db\"\nthreads = -1\nmanter = 0\n",
         {"2: threads não pode ser negativo (-1)", "3: valor inválido para --manter: \"0\" (de 1 a 3650)"}},
        {"db = \"-1\"\n", {}},
        {"[limites]\nocioso = 10\n", {"1: chave desconhecida \"limites\""}},
        {"db = \"a.db\"\n\nocioso = 604801\n", {"3: valor inválido para --ocioso: \"604801\" (de 1 a 604800)"}},
        {"threads = 0\nthreads2 = 1\n",
         {"1: valor inválido para --threads: \"0\" (de 1 a 64)", "2: chave desconhecida \"threads2\""}},
        {"listen = \"127.0.0.1:porta\"\n", {"1: --listen: "}},
        {"db = \"a.db\"\nlisten = \"127.0.0.1:7420\n", {"2: "}},
        // Settings that only make sense together: the line of the one the file gave.
        {"db = \"a.db\"\ntls-cert = \"c.pem\"\n", {"2: tls-cert e tls-key vão juntos: informe os dois ou nenhum"}},
        {"db = \"a.db\"\ntls-key = \"k.pem\"\n", {"2: tls-cert e tls-key vão juntos"}},
        {"db = \"a.db\"\ntls-cert = \"c.pem\"\n", {}, {"--tls-key", "k.pem"}},
        {"db = \"a.db\"\n# TLS\ntls-cert = \"c.pem\"\ntls-key = \"k.pem\"\nsem-tls = true\n",
         {"5: sem-tls contradiz tls-cert e tls-key"}},
        {"db = \"a.db\"\nlisten = \"0.0.0.0:7420\"\n",
         {"2: listen em 0.0.0.0 (fora do loopback) exige tls-cert e tls-key, ou sem-tls para aceitar tráfego aberto"}},
        {"db = \"a.db\"\nlisten = \"0.0.0.0:7420\"\n", {}, {"--sem-tls"}},
        {"db = \"a.db\"\n", {"uso: --listen em 0.0.0.0"}, {"--listen", "0.0.0.0:7420"}},
        {"listen = \"127.0.0.1:7420\"\n", {" falta db"}},
        {"listen = \"127.0.0.1:7420\"\n", {}, {"--db", "a.db"}},
    };
    for (const ConfigCase& c : cases) {
        std::vector<std::string> found;
        try {
            found = problemsOf(written(dir, c.text), c.args);
        } catch (const UsageError& e) {
            found = {std::string("uso: ") + e.what()};
        }
        ASSERT_EQ(found.size(), c.problems.size()) << c.text << (found.empty() ? "" : found.front());
        for (size_t i = 0; i < found.size(); ++i) EXPECT_TRUE(found[i].starts_with(c.problems[i])) << found[i];
    }
}

// What is no configuration file is told in its own words, at once: a FIFO is not waited on.
TEST(ConfigFile, RefusesWhatIsNoFileInItsOwnWords) {
    krv::support::TempDir dir{"krv-config"};
    const std::string fifo = dir.file("fifo.conf");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string large = written(dir, "# " + std::string(kMaxConfigBytes, 'x') + "\n");
    const std::string atLimit = dir.file("limite.conf");
    std::ofstream(atLimit) << "db = \"a.db\"\n" << std::string(kMaxConfigBytes - 12, '\n');
    const std::string unreadable = dir.file("fechado.conf");
    std::ofstream(unreadable) << "db = \"a.db\"\n";
    ::chmod(unreadable.c_str(), 0);
    const std::vector<std::pair<std::string, std::string>> cases{
        {dir.file("falta.conf"), ": arquivo de configuração não encontrado"},
        {dir.path().string(), ": o arquivo de configuração é uma pasta, não um arquivo"},
        {fifo, ": o arquivo de configuração não é um arquivo comum (FIFO, dispositivo ou soquete)"},
        {"/dev/zero", ": o arquivo de configuração não é um arquivo comum (FIFO, dispositivo ou soquete)"},
        {large, ": o arquivo de configuração passa de 1048576 bytes"},
        {atLimit, ""},
        // root reads any file: there the refusal cannot happen.
        {unreadable, ::geteuid() == 0 ? "" : ": o arquivo de configuração não pode ser lido (sem permissão)"},
    };
    for (const auto& [path, refusal] : cases) {
        std::string found;
        try {
            parseCommandLine({"--config", path, "--db", "a.db"});
        } catch (const ConfigError& e) {
            found = e.what();
        }
        EXPECT_EQ(found, refusal.empty() ? "" : path + refusal) << path;
    }
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

    EXPECT_THROW(parseCommandLine({"--db", "a.db", "--verifica"}), UsageError);
}
