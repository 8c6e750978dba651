#include <gtest/gtest.h>

#include "Loopback.h"
#include "core/Errors.h"
#include "support/TempDir.h"
#include "support/TestCa.h"

using namespace krv;
using namespace krv::rpc;
using namespace krv::rpc::test;
using support::TestCa;

namespace {

class Tls : public ::testing::Test {
protected:
    void SetUp() override { addEcho(dispatcher); }

    std::unique_ptr<Server> serverWith(const TestCa::Issued& certificate) {
        ServerOptions options;
        options.tlsCertFile = certificate.certFile;
        options.tlsKeyFile = certificate.keyFile;
        options.log = log.sink();
        options.refusalQuiet = {};
        return startServer(dispatcher, std::move(options));
    }

    static Endpoint tlsEndpoint(const Server& server, const std::string& caFile, const std::string& host = "127.0.0.1") {
        Endpoint endpoint = endpointOf(server);
        endpoint.host = host;
        endpoint.tls = true;
        endpoint.caFile = caFile;
        return endpoint;
    }

    // The ENetError text of one connection and call, or "ok".
    static std::string outcomeOf(const Endpoint& endpoint) {
        try {
            Client client;
            client.connect(endpoint);
            std::vector<Variant> args{"x"};
            client.call("Teste", "Eco", args);
            return "ok";
        } catch (const ENetError& error) {
            return error.what();
        }
    }

    support::TempDir dir{"krv-tls"};
    TestCa ca{dir.path(), "ca-boa"};
    TestCa otherCa{dir.path(), "ca-outra"};
    Dispatcher dispatcher;
    ServerLog log;
};

}  // namespace

TEST_F(Tls, CallsTravelOverTlsWhateverTheirSize) {
    auto server = serverWith(ca.issue("servidor", "IP:127.0.0.1,DNS:localhost"));
    Client client;
    client.connect(tlsEndpoint(*server, ca.certFile()));
    // Big enough to take many records and partial writes both ways.
    for (size_t size : {size_t(1), size_t(16 * 1024 + 1), size_t(3u << 20)}) {
        std::vector<Variant> args{std::string(size, 'k')};
        EXPECT_EQ(client.call("Teste", "Eco", args), Variant(Variant::Array{true, std::string(size, 'k')})) << size;
    }
    EXPECT_EQ(outcomeOf(tlsEndpoint(*server, ca.certFile(), "localhost")), "ok") << "the name checked by DNS name";

    // The same client reconnecting with another CA file trusts that file only.
    EXPECT_THROW(client.connect(tlsEndpoint(*server, otherCa.certFile())), ENetError);
    client.connect(tlsEndpoint(*server, ca.certFile()));
    EXPECT_TRUE(client.connected());
}

TEST_F(Tls, EveryWrongPairingIsRefusedWithItsOwnTextAndOthersAreStillServed) {
    auto good = serverWith(ca.issue("bom", "IP:127.0.0.1"));
    auto misnamed = serverWith(ca.issue("outro-nome", "DNS:outro.exemplo,IP:10.9.9.9"));
    auto expired = serverWith(ca.issue("vencido", "IP:127.0.0.1", std::chrono::hours(-48), std::chrono::hours(-1)));
    ServerOptions plainOptions;
    plainOptions.log = log.sink();
    auto plain = startServer(dispatcher, plainOptions);
    const auto where = [](const Server& server) { return "127.0.0.1:" + std::to_string(server.port()); };

    Endpoint plainToTls = endpointOf(*good);
    struct Case {
        const char* what;
        Endpoint endpoint;
        std::string text;
        const char* logged;
    };
    const std::vector<Case> cases{
        {"another CA", tlsEndpoint(*good, otherCa.certFile()),
         "O certificado do servidor " + where(*good) + " não é confiável", "TLS"},
        {"wrong name", tlsEndpoint(*misnamed, ca.certFile()),
         "O certificado do servidor " + where(*misnamed) + " não vale para o nome 127.0.0.1", "TLS"},
        {"expired", tlsEndpoint(*expired, ca.certFile()), "O certificado do servidor " + where(*expired) + " expirou",
         "TLS"},
        {"plain client, TLS port", plainToTls, "O servidor " + where(*good) + " exige conexão segura (TLS)",
         "o cliente não falou TLS nesta porta TLS"},
        {"TLS client, plain port", tlsEndpoint(*plain, ca.certFile()),
         "O servidor " + where(*plain) + " não respondeu em TLS", "o cliente tentou TLS, mas esta porta não usa TLS"},
    };
    for (const Case& c : cases) {
        const std::string outcome = outcomeOf(c.endpoint);
        EXPECT_EQ(outcome.rfind(c.text, 0), 0u) << c.what << ": " << outcome;
        EXPECT_TRUE(log.waitFor(c.logged)) << c.what;
        EXPECT_EQ(outcomeOf(tlsEndpoint(*good, ca.certFile())), "ok") << "after " << c.what;
        EXPECT_EQ(outcomeOf(endpointOf(*plain)), "ok") << "after " << c.what;
    }
}

TEST_F(Tls, ServerWithoutUsableCertificateDoesNotStart) {
    const TestCa::Issued first = ca.issue("primeiro", "IP:127.0.0.1");
    const TestCa::Issued second = ca.issue("segundo", "IP:127.0.0.1");
    struct Case {
        std::string cert, key, text;
    };
    const std::vector<Case> cases{
        {dir.file("nada.pem"), first.keyFile, "Não foi possível usar o certificado TLS " + dir.file("nada.pem")},
        {first.certFile, dir.file("nada.pem"), "Não foi possível usar a chave TLS " + dir.file("nada.pem")},
        {first.keyFile, first.keyFile, "Não foi possível usar o certificado TLS " + first.keyFile},
        {first.certFile, second.keyFile, "A chave TLS " + second.keyFile + " não corresponde ao certificado"},
    };
    for (const Case& c : cases) {
        ServerOptions options;
        options.tlsCertFile = c.cert;
        options.tlsKeyFile = c.key;
        Server server(dispatcher, options);
        try {
            server.start();
            ADD_FAILURE() << "started with " << c.cert << " and " << c.key;
        } catch (const ENetError& error) {
            EXPECT_EQ(std::string(error.what()).rfind(c.text, 0), 0u) << error.what();
        }
    }
    // A client whose CA file is missing says so before it tries anything.
    auto server = serverWith(first);
    EXPECT_EQ(outcomeOf(tlsEndpoint(*server, dir.file("nenhuma.pem"))).rfind(
                  "Não foi possível usar o arquivo de autoridades (CA) " + dir.file("nenhuma.pem"), 0),
              0u);
}
