#include <gtest/gtest.h>

#include <asio/connect.hpp>
#include <asio/ip/tcp.hpp>
#include <filesystem>
#include <fstream>

#include "ServerProcess.h"
#include "ServerTestSupport.h"
#include "core/Errors.h"
#include "rpc/Client.h"
#include "server/objects/PedReqObject.h"
#include "server/service/ServerState.h"
#include "server/service/ServiceNotify.h"
#include "server/storage/Database.h"
#include "server/stores/OperatorStore.h"
#include "server/stores/Schema.h"
#include "support/TestCa.h"

using namespace krv;
using namespace krv::server;
using krv::server::test::ServerProcess;
namespace fs = std::filesystem;

namespace {

struct Ran {
    int status;
    std::string out, err;
};

Ran run(std::vector<std::string> args) {
    ServerProcess process(std::move(args));
    Ran ran;
    ran.out = process.outputText();
    ran.err = process.errorText();
    ran.status = process.exitStatus();
    return ran;
}

bool has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

}  // namespace

TEST(Service, EstadoAndBackupFromTheCommandLine) {
    test::TempDir dir{"krv-estado"};
    const std::string database = dir.file("k.db");
    {
        ServerProcess server({"--db", database, "--seed", "demo"});
        ASSERT_NE(test::announcedPort(server), 0);
        const Ran running = run({"--db", database, "--estado"});
        EXPECT_EQ(running.status, 0) << running.out << running.err;
        EXPECT_TRUE(has(running.out, "banco: SQLite " + database + "\n")) << running.out;
        const std::string schema = std::to_string(latestSchemaVersion());
        EXPECT_TRUE(has(running.out, "esquema: " + schema + " (deste programa: " + schema + ")")) << running.out;
        EXPECT_TRUE(has(running.out, "servidor: em execução")) << running.out;
        EXPECT_TRUE(has(running.out, "último backup: nenhum registrado")) << running.out;

        const Ran backup = run({"--db", database, "--backup", dir.file("copia.db")});
        EXPECT_EQ(backup.status, 0) << backup.err;
        EXPECT_TRUE(has(backup.out, "integridade verificada")) << backup.out;
        const Ran nowhere = run({"--db", database, "--backup", dir.file("falta/copia.db")});
        EXPECT_EQ(nowhere.status, 1);
        EXPECT_TRUE(has(nowhere.err, "não existe")) << nowhere.err;
        EXPECT_EQ(server.stopAndWait(SIGTERM), 0);
    }
    const Ran stopped = run({"--db", database, "--estado"});
    EXPECT_EQ(stopped.status, 3) << "as init scripts say of a service that is not running";
    EXPECT_TRUE(has(stopped.out, "servidor: parado")) << stopped.out;
    EXPECT_TRUE(has(stopped.out, "último backup: ")) << stopped.out;
    EXPECT_TRUE(has(stopped.out, dir.file("copia.db"))) << stopped.out;
}

TEST(Service, TimeUpInItsLargestUnits) {
    const std::vector<std::pair<std::time_t, std::string>> cases{
        {0, "0 s"},          {59, "59 s"},           {60, "1 min"},      {3599, "59 min"},
        {3600, "1 h 0 min"}, {86399, "23 h 59 min"}, {86400, "1 d 0 h"}, {90061, "1 d 1 h"},
    };
    for (const auto& [seconds, text] : cases) EXPECT_EQ(durationText(seconds), text) << seconds;
}

TEST(Service, JournalPriorityOfEachLogLine) {
    const std::vector<std::pair<std::string, LogPriority>> cases{
        {"Erro no servidor: memória esgotada", LogPriority::Error},
        {"erro ao gravar o estado", LogPriority::Error},
        {"aviso: --sem-tls: senhas e dados trafegam sem criptografia", LogPriority::Warning},
        {"Conexão 10.0.0.1:5000 recusada: operador e senha ausentes", LogPriority::Info},
        {"configuração relida: max-conexoes 50", LogPriority::Info},
    };
    for (const auto& [line, priority] : cases) EXPECT_EQ(priorityOf(line), priority) << line;
    // The journal keeps the time itself; anywhere else the line carries it.
    EXPECT_EQ(logLine(LogPriority::Warning, "aviso: x", true, 0), "<4>krv-server: aviso: x");
    EXPECT_TRUE(
        test::startsWithLogLine(logLine(LogPriority::Warning, "aviso: x", false, 0) + "\n", "krv-server: aviso: x\n"));
}

TEST(Service, CountsConnectionsWithAndWithoutLogin) {
    test::TestServer server;
    rpc::Server transport(server.app->dispatcher(), server.transportOptions());
    transport.start();
    asio::io_context io;
    asio::ip::tcp::socket anonymous(io);
    anonymous.connect({asio::ip::make_address("127.0.0.1"), transport.port()});
    rpc::Client client;
    client.connect(test::TestServer::endpoint(transport.port()));
    const rpc::ConnectionCount count = transport.connections();
    EXPECT_EQ(count.open, 2u);
    EXPECT_EQ(count.loggedIn, 1u);
}

TEST(Service, VerificaNamesTheLineOfEachProblem) {
    test::TempDir dir{"krv-verifica"};
    support::TestCa ca{dir.path(), "ca"};
    const auto certificate = ca.issue("servidor", "IP:127.0.0.1");
    const std::string config = dir.file("krv-server.conf");
    const auto verify = [&](const std::string& text) {
        std::ofstream(config) << text;
        return run({"--config", config, "--verifica"});
    };
    const Ran good = verify("db = \"" + dir.file("k.db") + "\"\nlisten = \"0.0.0.0:7420\"\ntls-cert = \"" +
                            certificate.certFile + "\"\ntls-key = \"" + certificate.keyFile + "\"\n");
    EXPECT_EQ(good.status, 0) << good.err;
    EXPECT_FALSE(fs::exists(dir.file("k.db"))) << "checking creates no database";

    const Ran bad = verify("db = \"postgresql://krv@127.0.0.1:1/krv\"\ntls-cert = \"" + dir.file("falta.pem") +
                           "\"\ntls-key = \"" + certificate.keyFile + "\"\n");
    EXPECT_EQ(bad.status, 1);
    EXPECT_TRUE(has(bad.err, config + ":2: ")) << bad.err;
    EXPECT_TRUE(has(bad.err, config + ":1: ")) << bad.err;

    const Ran unknown = verify("db = \"k.db\"\nocioso = \"30\"\n");
    EXPECT_EQ(unknown.status, 1);
    EXPECT_EQ(unknown.err, config + ":2: ocioso deve ser um número inteiro\n");

    const Ran noFolder = verify("db = \"" + dir.file("falta/k.db") + "\"\n");
    EXPECT_EQ(noFolder.status, 1);
    EXPECT_TRUE(has(noFolder.err, config + ":1: a pasta do banco")) << noFolder.err;

    // The database must be one of this system's, or empty; each refusal one line, exit 1, no usage.
    std::ofstream(dir.file("vazio.db"));
    {
        auto other = db::openDatabase(dir.file("outro.db"));
        other->connection().script("CREATE TABLE clientes (id INTEGER)");
    }
    const std::vector<std::pair<std::string, std::string>> cases{
        {"db = \"/etc/passwd\"\n", ":1: /etc/passwd não é um banco SQLite (file is not a database)\n"},
        {"db = \"" + dir.file("outro.db") + "\"\n",
         ":1: o banco " + dir.file("outro.db") + " não é um banco do krv-server (tem tabelas de outro sistema)\n"},
        {"db = \"" + dir.file("vazio.db") + "\"\n", ""},
        {"db = \"k.db\"\nlisten = \"0.0.0.0:7420\"\n",
         ":2: listen em 0.0.0.0 (fora do loopback) exige tls-cert e tls-key, ou sem-tls para aceitar tráfego aberto\n"},
    };
    for (const auto& [text, refusal] : cases) {
        const Ran checked = verify(text);
        EXPECT_EQ(checked.status, refusal.empty() ? 0 : 1) << text;
        EXPECT_EQ(checked.err, refusal.empty() ? "" : config + refusal) << text;
    }
}

TEST(Service, ReloadTakesANewCertificateForNewConnections) {
    test::TempDir dir{"krv-reload"};
    support::TestCa ca{dir.path(), "ca"};
    const auto wrongName = ca.issue("antigo", "DNS:outro.exemplo");
    const auto rightName = ca.issue("novo", "IP:127.0.0.1");
    const std::string cert = dir.file("servidor.pem"), key = dir.file("servidor-chave.pem");
    fs::copy_file(wrongName.certFile, cert);
    fs::copy_file(wrongName.keyFile, key);
    const std::string config = dir.file("krv-server.conf");
    std::ofstream(config) << "db = \"" << dir.file("k.db") << "\"\nseed = \"demo\"\ntls-cert = \"" << cert
                          << "\"\ntls-key = \"" << key << "\"\n";
    ServerProcess server({"--config", config, "--listen", "127.0.0.1:0"});
    const uint16_t port = test::announcedPort(server);
    ASSERT_NE(port, 0);
    rpc::Endpoint endpoint = test::TestServer::endpoint(port, kDemoOperator, kDemoPassword);
    endpoint.tls = true;
    endpoint.caFile = ca.certFile();
    EXPECT_THROW(rpc::Client().connect(endpoint), ENetError) << "the first certificate names another host";

    fs::copy_file(rightName.certFile, cert, fs::copy_options::overwrite_existing);
    fs::copy_file(rightName.keyFile, key, fs::copy_options::overwrite_existing);
    std::ofstream(config, std::ios::app) << "max-conexoes = 50\nocioso = 60\n";
    kill(server.pid(), SIGHUP);
    std::string line;
    while (!has(line, "configuração relida") && !(line = server.errorLine()).empty()) {
    }
    EXPECT_TRUE(has(line, "certificado " + cert)) << line;
    EXPECT_TRUE(has(line, "max-conexoes 50; valem só depois de reiniciar: ocioso\n")) << line;
    rpc::Client client;
    client.connect(endpoint);
    std::vector<Variant> all{"T"};
    EXPECT_EQ(client.call(PedReqObject::kName, "GetFilial", all).array().at(0), Variant(true));
    EXPECT_EQ(server.stopAndWait(SIGTERM), 0);
}
