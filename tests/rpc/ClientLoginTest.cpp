// How a client program turns its command line into the endpoint's login and TLS fields,
// and what the client then sends as the first frame.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <stdexcept>
#include <string>

#include "LoginAcceptor.h"
#include "rpc/Client.h"
#include "rpc/ClientLogin.h"

using namespace krv;
using namespace krv::rpc;

namespace {

std::string fileHolding(const std::string& name, const std::string& content) {
    const std::string path = ::testing::TempDir() + "/krv-login-" + name;
    std::ofstream(path, std::ios::binary) << content;
    return path;
}

const std::string kLimit(kMaxPasswordBytes, 's');

struct LoginCase {
    const char* what;
    ClientLogin login;
    const char* environment;   // KRV_SENHA; nullptr = unset
    const char* operatorName;  // expected; nullptr = refused
    std::string password;      // expected when accepted
    std::string refusal;       // part of the message when refused
};

std::string outcome(const LoginCase& c, Endpoint& endpoint) {
    try {
        applyClientLogin(c.login, c.environment, endpoint);
    } catch (const std::runtime_error& e) {
        return e.what();
    }
    return {};
}

}  // namespace

TEST(ClientLogin, PasswordSourcesAndTheirLimits) {
    const std::string file = fileHolding("plain", "senha do arquivo\r\nsegunda linha\n");
    const std::string atLimit = fileHolding("limit", kLimit + "\n");
    const std::string pastLimit = fileHolding("past", kLimit + "s\n");
    const std::string empty = fileHolding("empty", "\n");
    const std::string pastLimitText = kLimit + "s";
    const std::string missing = ::testing::TempDir() + "/krv-login-missing";
    // A FIFO nobody writes to would block a reader forever; it is refused by its kind.
    const std::string fifo = ::testing::TempDir() + "/krv-login-fifo";
    ::unlink(fifo.c_str());
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const LoginCase cases[] = {
        {"environment", {"ANA"}, "segredo", "ANA", "segredo", ""},
        {"file, blanks kept, line end dropped", {"ANA", file}, nullptr, "ANA", "senha do arquivo", ""},
        {"the file wins over the environment", {"ANA", file}, "outra", "ANA", "senha do arquivo", ""},
        {"environment exactly at the limit", {"ANA"}, kLimit.c_str(), "ANA", kLimit, ""},
        {"file exactly at the limit", {"ANA", atLimit}, nullptr, "ANA", kLimit, ""},
        {"file one byte past the limit", {"ANA", pastLimit}, nullptr, nullptr, "", "passa de 1024 bytes"},
        {"environment one past the limit", {"ANA"}, pastLimitText.c_str(), nullptr, "", "passa de 1024 bytes"},
        {"no password at all", {"ANA"}, nullptr, nullptr, "", "KRV_SENHA ou com --senha-arquivo"},
        {"empty environment", {"ANA"}, "", nullptr, "", "senha do operador está vazia (KRV_SENHA)"},
        {"empty first line", {"ANA", empty}, "segredo", nullptr, "", "está vazia (arquivo"},
        {"missing file", {"ANA", missing}, nullptr, nullptr, "", "Não foi possível ler o arquivo de senha"},
        {"a folder", {"ANA", ::testing::TempDir()}, nullptr, nullptr, "", "é uma pasta"},
        {"a FIFO", {"ANA", fifo}, nullptr, nullptr, "", "de senha " + fifo + ": não é um arquivo comum"},
        {"a device", {"ANA", "/dev/zero"}, nullptr, nullptr, "", "não é um arquivo comum"},
        {"a FIFO as token", {"", "", fifo}, nullptr, nullptr, "", "de token " + fifo + ": não é um arquivo comum"},
        {"password file without operator", {"", file}, nullptr, nullptr, "", "--senha-arquivo exige --operador"},
        {"password file and token file", {"ANA", file, file}, nullptr, nullptr, "", "não os dois"},
    };
    for (const LoginCase& c : cases) {
        Endpoint endpoint;
        const std::string refusal = outcome(c, endpoint);
        if (!c.operatorName) {
            EXPECT_NE(refusal.find(c.refusal), std::string::npos) << c.what << ": " << refusal;
            EXPECT_EQ(refusal.find("segredo"), std::string::npos) << c.what << ": the password shows";
            continue;
        }
        EXPECT_EQ(refusal, "") << c.what;
        EXPECT_EQ(endpoint.operatorName, c.operatorName) << c.what;
        EXPECT_EQ(endpoint.password, c.password) << c.what;
        EXPECT_EQ(endpoint.token, "") << c.what;
    }
}

TEST(ClientLogin, TokenWithoutOperatorAndTlsFromTheCaFile) {
    const std::string token = fileHolding("token", "ficha\n");
    const std::string ca = fileHolding("ca", "-----BEGIN CERTIFICATE-----\n");

    Endpoint endpoint;
    applyClientLogin({"", "", token, ca}, "ignorada", endpoint);
    EXPECT_EQ(endpoint.token, "ficha");
    EXPECT_EQ(endpoint.operatorName, "") << "KRV_SENHA alone starts no login";
    EXPECT_TRUE(endpoint.tls);
    EXPECT_EQ(endpoint.caFile, ca);

    Endpoint plain;
    applyClientLogin({}, "ignorada", plain);
    EXPECT_FALSE(plain.tls);
    EXPECT_EQ(plain.password, "");
    EXPECT_THROW(applyClientLogin({"", "", "", ca + ".nao-existe"}, nullptr, plain), std::runtime_error);
}

TEST(ServerAddress, TlsPrefix) {
    const ServerAddress tls = parseServerAddress("tls:servidor.local:7420");
    EXPECT_EQ(tls.host, "servidor.local");
    EXPECT_EQ(tls.port, 7420);
    EXPECT_TRUE(tls.tls);
    const ServerAddress ipv6 = parseServerAddress("tls:[::1]:1");
    EXPECT_EQ(ipv6.host, "::1");
    EXPECT_TRUE(ipv6.tls);
    const ServerAddress plain = parseServerAddress("127.0.0.1:65535");
    EXPECT_FALSE(plain.tls);
    for (const char* wrong : {"tls:", "tls:7420", "TLS:h:7420", "tls:h:0", "tls:tls:h:7420"})
        EXPECT_THROW(parseServerAddress(wrong), std::invalid_argument) << wrong;
}

TEST(ClientLoginFrame, FirstFrameCarriesOperatorAndPasswordAndARefusalCloses) {
    test::LoginAcceptor server(test::acceptsOperator("ANA", "s3nh@ com espaço"));
    Endpoint endpoint;
    endpoint.port = server.port();
    endpoint.timeout = std::chrono::seconds(10);
    endpoint.token = "ficha que não vai";
    endpoint.operatorName = "ANA";
    endpoint.password = "s3nh@ com espaço";
    Client accepted;
    accepted.connect(endpoint);
    EXPECT_TRUE(accepted.connected());

    endpoint.password = "errada";
    Client refused;
    try {
        refused.connect(endpoint);
        ADD_FAILURE() << "a refused login connected";
    } catch (const ELoginRefused& e) {
        EXPECT_EQ(std::string(e.what()),
                  "O servidor 127.0.0.1:" + std::to_string(server.port()) + " recusou o operador ou a senha");
    }
    EXPECT_FALSE(refused.connected());

    endpoint.operatorName.clear();
    Client byToken;
    try {
        byToken.connect(endpoint);
        ADD_FAILURE() << "this server refuses every token";
    } catch (const ELoginRefused&) {
        ADD_FAILURE() << "a refused token is not a refused login";
    } catch (const ENetError& e) {
        EXPECT_NE(std::string(e.what()).find("recusou o token de acesso"), std::string::npos) << e.what();
    }

    const std::vector<Variant> expected{Variant::Array{"auth", "ANA", "s3nh@ com espaço"},
                                        Variant::Array{"auth", "ANA", "errada"},
                                        Variant::Array{"auth", "ficha que não vai"}};
    EXPECT_EQ(server.firstFrames(), expected);
}
