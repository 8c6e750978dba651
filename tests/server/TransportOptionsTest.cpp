#include <gtest/gtest.h>

#include <algorithm>

#include "ServerProcess.h"
#include "core/Errors.h"
#include "rpc/Client.h"
#include "server/objects/PedReqObject.h"
#include "server/service/CommandLine.h"
#include "server/stores/OperatorStore.h"
#include "support/TempDir.h"
#include "support/TestCa.h"

using namespace krv;
using namespace krv::server;
using krv::server::test::ServerProcess;

TEST(TransportOptions, OffLoopbackNeedsTlsOrSemTlsSaidOnPurpose) {
    const std::vector<std::string> db{"--db", "a.db"};
    const auto with = [&](std::vector<std::string> more) {
        more.insert(more.begin(), db.begin(), db.end());
        return more;
    };
    const std::vector<std::vector<std::string>> accepted{
        with({"--listen", "127.0.0.1:0"}),
        with({"--listen", "127.255.255.254:7420"}),
        with({"--listen", "[::1]:7420"}),
        with({"--listen", "[::ffff:127.0.0.1]:7420"}),
        with({"--listen", "localhost:7420"}),
        with({"--listen", "0.0.0.0:7420", "--tls-cert", "c.pem", "--tls-key", "k.pem"}),
        with({"--listen", "10.0.0.5:7420", "--sem-tls"}),
        with({"--ocioso", "1", "--max-conexoes", "1"}),
        with({"--ocioso", "604800"}),
    };
    for (const auto& args : accepted) EXPECT_NO_THROW(parseCommandLine(args)) << args[3];

    const std::vector<std::vector<std::string>> refused{
        with({"--listen", "0.0.0.0:7420"}),
        with({"--listen", "128.0.0.1:7420"}),
        with({"--listen", "[::]:7420"}),
        with({"--listen", "[::ffff:10.0.0.1]:7420"}),
        with({"--listen", "localhost.exemplo:7420"}),
        with({"--tls-cert", "c.pem"}),
        with({"--tls-key", "k.pem"}),
        with({"--tls-cert", "c.pem", "--tls-key", "k.pem", "--sem-tls"}),
        with({"--ocioso", "0"}),
        with({"--ocioso", "604801"}),
        with({"--ocioso", "1.5"}),
        with({"--max-conexoes", "0"}),
        with({"--max-conexoes", "mil"}),
    };
    for (const auto& args : refused) EXPECT_THROW(parseCommandLine(args), UsageError) << args[2] << " " << args[3];

    const ServerCommand tls = parseCommandLine(with({"--tls-cert", "c.pem", "--tls-key", "k.pem", "--ocioso", "90"}));
    EXPECT_EQ(tls.tlsCert, "c.pem");
    EXPECT_EQ(tls.tlsKey, "k.pem");
    EXPECT_EQ(tls.idleSeconds, 90u);
}

TEST(TransportOptions, ProgramServesOverTlsAndRefusesUnreadableCertificates) {
    support::TempDir dir{"krv-server-tls"};
    support::TestCa ca{dir.path(), "ca"};
    const auto certificate = ca.issue("servidor", "IP:127.0.0.1");
    ServerProcess process({"--db", dir.file("tls.db"), "--seed", "demo", "--tls-cert", certificate.certFile,
                           "--tls-key", certificate.keyFile});
    const uint16_t port = test::announcedPort(process);
    ASSERT_NE(port, 0);

    rpc::Endpoint endpoint{"127.0.0.1", port};
    endpoint.operatorName = kDemoOperator;
    endpoint.password = kDemoPassword;
    endpoint.tls = true;
    endpoint.caFile = ca.certFile();
    rpc::Client client;
    client.connect(endpoint);
    std::vector<Variant> all{"T"};
    EXPECT_EQ(client.call(PedReqObject::kName, "GetFilial", all).array().at(0), Variant(true));
    rpc::Client plain;
    EXPECT_THROW(plain.connect({"127.0.0.1", port}), ENetError);
    EXPECT_EQ(process.stopAndWait(SIGTERM), 0);

    const std::string missing = dir.file("nenhum.pem");
    ServerProcess broken({"--db", dir.file("tls.db"), "--tls-cert", missing, "--tls-key", certificate.keyFile});
    EXPECT_EQ(broken.exitStatus(), 1);
    const std::string error = broken.errorText();
    EXPECT_TRUE(test::startsWithLogLine(error, "krv-server: Não foi possível usar o certificado TLS " + missing + ": "))
        << error;
    EXPECT_EQ(std::count(error.begin(), error.end(), '\n'), 1) << error;

    ServerProcess open({"--db", dir.file("tls.db"), "--sem-tls"});
    ASSERT_NE(test::announcedPort(open), 0);
    EXPECT_EQ(open.stopAndWait(SIGTERM), 0);
    EXPECT_NE(open.errorText().find("krv-server: aviso: --sem-tls: senhas e dados trafegam sem criptografia"),
              std::string::npos);
}
