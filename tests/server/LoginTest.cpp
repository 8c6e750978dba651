// Operators log in: the first frame of a connection, the operator argument of every method,
// krv-server --cria-operador, and the demo password kept off the network.
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>

#include <asio.hpp>
#include <cstdio>
#include <sstream>

#include "OrderCases.h"
#include "ServerProcess.h"
#include "core/Codec.h"
#include "core/Errors.h"
#include "rpc/Client.h"
#include "rpc/Frame.h"
#include "rpc/Message.h"
#include "rpc/Server.h"
#include "server/service/OperatorCommand.h"

using namespace krv;
using krv::server::PedReqObject;
using krv::server::test::kTestOperator;
using krv::server::test::kTestPassword;
using krv::server::test::ServerProcess;
using krv::server::test::TestServer;
using Args = std::vector<Variant>;
using namespace std::string_literals;

namespace {

class Login : public server::test::EngineTest {};
KRV_ON_BOTH_ENGINES(Login);

// Refusals still go through the delayed answer, but barely wait.
const server::LoginThrottle::Settings kQuickThrottle{std::chrono::milliseconds(1), std::chrono::milliseconds(1)};

// Every table, the operators' too.
std::vector<std::string> everyTable() {
    std::vector<std::string> tables = server::test::allTables();
    tables.push_back("operator");
    return tables;
}

std::string frameOf(const Variant& body) {
    std::string frame = rpc::frame::begin();
    codec::encodeTo(frame, body);
    rpc::frame::finish(frame);
    return frame;
}

// A client that sends one frame and reads whatever comes back until the server closes.
class Probe {
public:
    explicit Probe(uint16_t port, const char* from = "127.0.0.1") {
        socket_.open(asio::ip::tcp::v4());
        socket_.bind({asio::ip::make_address(from), 0});
        socket_.connect({asio::ip::make_address("127.0.0.1"), port});
        const timeval wait{10, 0};  // a server that never answers fails the test instead of hanging it
        setsockopt(socket_.native_handle(), SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
    }
    void send(const std::string& bytes) { asio::write(socket_, asio::buffer(bytes)); }
    // Everything received until the server closed; "(no close)" when it kept the connection.
    std::string untilClosed() {
        std::string received;
        char chunk[256];
        for (;;) {
            std::error_code error;
            const size_t n = socket_.read_some(asio::buffer(chunk), error);
            received.append(chunk, n);
            if (error == asio::error::eof) return received;
            if (error) return received + "(no close)";
        }
    }
    asio::ip::tcp::socket& socket() { return socket_; }
    bool answered() {
        pollfd watched{socket_.native_handle(), POLLIN, 0};
        return ::poll(&watched, 1, 0) > 0;
    }

private:
    asio::io_context io_;
    asio::ip::tcp::socket socket_{io_};
};

struct Transport {
    Transport(TestServer& server, server::LoginThrottle::Settings throttle, unsigned threads = 2)
        : server(server.app->dispatcher(), [&] {
              rpc::ServerOptions options = server.transportOptions(throttle);
              options.threads = threads;
              return options;
          }()) {
        this->server.start();
    }
    rpc::Server server;
};

}  // namespace

TEST_P(Login, OnlyAnOperatorWithItsPasswordGetsInAndARefusalStoresNothing) {
    TestServer server(engine());
    const std::string longest(server::kOperatorNameSize, 'A');
    server.addOperator(longest, "longa");
    Transport transport(server, kQuickThrottle);
    const uint16_t port = transport.server.port();
    const std::string before = server.content(everyTable());

    const struct {
        const char* what;
        Variant body;
    } refused[] = {
        {"wrong password", Variant::Array{"auth", kTestOperator, "senha errada"}},
        {"password with a trailing newline", Variant::Array{"auth", kTestOperator, kTestPassword + "\n"}},
        {"unknown operator", Variant::Array{"auth", "NINGUEM", kTestPassword}},
        {"name one past the column's size", Variant::Array{"auth", longest + "A", "longa"}},
        {"name with a trailing tab", Variant::Array{"auth", kTestOperator + "\t", kTestPassword}},
        {"blank name", Variant::Array{"auth", "", kTestPassword}},
        {"empty password", Variant::Array{"auth", kTestOperator, ""}},
        {"password that is no text", Variant::Array{"auth", kTestOperator, int64_t(0)}},
        {"name that is no text", Variant::Array{"auth", Variant::Array{kTestOperator}, kTestPassword}},
        {"a token on a server without one", Variant::Array{"auth", kTestPassword}},
        {"one element too many", Variant::Array{"auth", kTestOperator, kTestPassword, "x"}},
        {"the tag alone", Variant::Array{"auth"}},
        {"another tag", Variant::Array{"AUTH", kTestOperator, kTestPassword}},
        {"a request before logging in",
         Variant::Array{int64_t(1), int64_t(1), PedReqObject::kName, "GetFilial", Variant::Array{"T"}}},
        {"no list at all", Variant(kTestPassword)},
    };
    for (const auto& c : refused) {
        SCOPED_TRACE(c.what);
        Probe probe(port);
        probe.send(frameOf(c.body));
        EXPECT_EQ(probe.untilClosed(), rpc::authAnswerFrame(false)) << "refused, then closed";
    }
    EXPECT_EQ(server.content(everyTable()), before);

    for (const auto& [name, password] : {std::pair{kTestOperator, kTestPassword}, {longest, std::string("longa")}}) {
        rpc::Client client;
        client.connect(TestServer::endpoint(port, name, password));
        Args all{"T"};
        EXPECT_EQ(client.call(PedReqObject::kName, "GetFilial", all).array().at(0), Variant(true)) << name;
    }
    rpc::Client wrong;
    EXPECT_THROW(wrong.connect(TestServer::endpoint(port, kTestOperator, "outra")), ENetError);
}

TEST(LoginDelay, GuessesAtANameFromManyAddressesWaitTheirTurnWithoutHoldingAWorker) {
    TestServer server;
    server.addOperator("ANA", "senha da ana");
    const server::LoginThrottle::Settings slow{std::chrono::minutes(1), std::chrono::minutes(1)};
    Transport transport(server, slow, 1);  // one worker: a blocking wait would stop every call
    const uint16_t port = transport.server.port();
    Probe firstGuess(port, "127.0.0.2");
    firstGuess.send(rpc::authFrame(kTestOperator, "palpite"));
    EXPECT_EQ(firstGuess.untilClosed(), rpc::authAnswerFrame(false)) << "the first refusal comes at once";
    Probe secondGuess(port, "127.0.0.3");
    secondGuess.send(rpc::authFrame(kTestOperator, "outro palpite"));

    Probe other(port);
    other.send(rpc::authFrame("ANA", "senha da ana"));
    const std::string accepted = rpc::authAnswerFrame(true);
    std::string received(accepted.size(), '\0');
    ASSERT_EQ(asio::read(other.socket(), asio::buffer(received)), accepted.size());
    EXPECT_EQ(received, accepted) << "another operator from another address is not held up";
    EXPECT_FALSE(secondGuess.answered()) << "the same name from another address waits its minute";
}

TEST_P(Login, TheDemoPasswordLogsInOnlyFromLoopbackAtEveryLogin) {
    TestServer server(engine());  // seeded: ADMIN has the demo password
    server::OperatorLogin login(server.app->database(), server::HashCost::Minimal, {}, nullptr);
    const struct {
        const char* name;
        const char* password;
        const char* address;
        bool accepted;
    } cases[] = {
        {"ADMIN", "demo", "127.0.0.1", true},        {"ADMIN", "demo", "::1", true},
        {"ADMIN", "demo", "::ffff:127.0.0.9", true}, {"ADMIN", "demo", "10.0.0.5", false},
        {"ADMIN", "demo", "::ffff:10.0.0.5", false}, {"OPER", "s3nha", "10.0.0.5", true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(login.check({c.name, c.name == kTestOperator ? kTestPassword : c.password, c.address}).accepted,
                  c.accepted)
            << c.name << " from " << c.address;
}

TEST_P(Login, AnOperatorArgumentMustBeTheSessionsOwn) {
    TestServer server(engine());
    const std::string before = server.content(everyTable());
    const DateTime day = server::test::seedDate();
    const auto withOperator = [&](const Variant& name) {
        return std::vector<std::pair<const char*, Args>>{
            {"CalculaRequisicoes", {"0001", day, day, 0.0, "N", "CFP", name, "0001", "1", "", ""}},
            {"GeraPedidoPorRequisicao", {"0001", day, day, "1", "S", name, "0001", "", ""}},
            {"PreviaPedidoPorRequisicao", {"0001", day, day, "1", "S", name, "0001", "", ""}},
            {"CancelaPedido", {"_1_", name}},
            {"CalculaPrevisaoConsumo", {"0007", day, day, name}},
        };
    };
    const struct {
        std::string session;  // empty: a session that came in with the shared token
        Variant sent;
        std::string refusal;
    } cases[] = {
        {kTestOperator, "MARIA", "Operador MARIA não é o operador desta sessão (OPER)."},
        {kTestOperator, "oper", "Operador oper não é o operador desta sessão (OPER)."},
        {kTestOperator, kTestOperator + "\t", "Operador OPER\t não é o operador desta sessão (OPER)."},
        {kTestOperator, "\u202eOPER", "Operador \u202eOPER não é o operador desta sessão (OPER)."},
        {kTestOperator, "", "Operador deve ser informado."},
        {kTestOperator, int64_t(7), "Operador deve ser um texto."},
        {"", kTestOperator, "Operador OPER não pode ser usado numa sessão sem operador: entre com operador e senha."},
    };
    for (const auto& c : cases) {
        server.caller.operatorName = c.session;
        for (const auto& [method, args] : withOperator(c.sent)) {
            SCOPED_TRACE(std::string(method) + " from " + c.session + " naming " + c.sent.asString());
            EXPECT_EQ(server.failure(PedReqObject::kName, method, args), c.refusal);
        }
    }
    EXPECT_EQ(server.content(everyTable()), before);
}

TEST_P(Login, APasswordChangedWhileAServerRunsTakesEffectAtTheNextLogin) {
    TestServer server(engine());
    ServerProcess running({"--db", server.database.target(), "--listen", "127.0.0.1:0"});
    const uint16_t port = server::test::announcedPort(running);
    ASSERT_NE(port, 0);

    const std::string command = std::string(KRV_SERVER_PROGRAM) + " --db '" + server.database.target() +
                                "' --cria-operador " + kTestOperator + " >/dev/null";
    FILE* admin = popen(command.c_str(), "w");
    ASSERT_NE(admin, nullptr);
    std::fputs("nova senha\n", admin);
    EXPECT_EQ(pclose(admin), 0);

    rpc::Client client;
    EXPECT_THROW(client.connect(TestServer::endpoint(port, kTestOperator, kTestPassword)), ENetError);
    client.connect(TestServer::endpoint(port, kTestOperator, "nova senha"));
    Args all{"T"};
    EXPECT_EQ(client.call(PedReqObject::kName, "GetFilial", all).array().at(0), Variant(true));
    EXPECT_EQ(running.stopAndWait(SIGTERM), 0);
}

TEST(OperatorCommand, RefusesAnEmptyOrWeakPasswordAndChangesNothing) {
    TestServer server;
    const std::string before = server.content({"operator"});
    const std::string empty = "krv-server: a senha do operador OPER não pode ser vazia (uma linha na entrada padrão)\n";
    const std::string refused = "krv-server: senha recusada para o operador OPER: ";
    const struct {
        std::string input, error;
    } cases[] = {
        {"", empty},
        {"\n", empty},
        {"\r\n", empty},
        {"1234567\n", refused + "tem menos de 8 caracteres\n"},
        {"çãõéêáíú\n"s.substr(0, 14) + "\n", refused + "tem menos de 8 caracteres\n"},  // 7 letters, 14 bytes
        {"        \n", refused + "só tem espaços\n"},
        {std::string(1025, 'x') + "\n", refused + "tem 1025 bytes, mais que o máximo de 1024 (o login não a levaria ao "
                                                  "servidor)\n"},
        // Standard input is read up to the first line's end and never past 4096 bytes.
        {std::string(4096, 'x') + "\n", refused + "tem 4096 bytes, mais que o máximo de 1024 (o login não a levaria ao "
                                                  "servidor)\n"},
        {std::string(4097, 'x') + "\n",
         "krv-server: a senha do operador OPER passa de 4096 bytes (uma linha na entrada "
         "padrão)\n"},
        {std::string(1 << 20, '\0'),
         "krv-server: a senha do operador OPER passa de 4096 bytes (uma linha na entrada "
         "padrão)\n"},
    };
    for (const auto& c : cases) {
        std::istringstream in(c.input);
        std::ostringstream out, err;
        EXPECT_EQ(
            server::createOperator(server.database.target(), kTestOperator, in, out, err, server::HashCost::Minimal),
            1);
        EXPECT_EQ(err.str(), c.error) << c.input.size() << " bytes";
        if (c.input.size() > 4097) EXPECT_EQ(in.tellg(), 4097) << "read past the limit";
    }
    EXPECT_EQ(server.content({"operator"}), before);
    for (const std::string& fits : {std::string("12345678"), std::string("çãõéêáíú"), std::string(1024, 'x')}) {
        std::istringstream in(fits + "\n");
        std::ostringstream out, err;
        EXPECT_EQ(server::createOperator(server.database.target(), "OUTRO", in, out, err, server::HashCost::Minimal,
                                         server::localNow, {"cozinha", "0001"}),
                  0)
            << err.str();
    }
}

TEST_P(Login, TheDemoPasswordKeepsTheServerOnLoopback) {
    TestServer server(engine());  // seeded: ADMIN has the demo password
    const struct {
        const char* host;
        bool refused;
    } hosts[] = {{"127.0.0.1", false}, {"127.0.0.2", false}, {"::1", false},
                 {"0.0.0.0", true},    {"::", true},         {"192.168.0.10", true}};
    for (const auto& h : hosts)
        if (h.refused)
            EXPECT_THROW(server::refuseDemoPasswordOffLoopback(server.sql(), h.host), std::runtime_error) << h.host;
        else
            EXPECT_NO_THROW(server::refuseDemoPasswordOffLoopback(server.sql(), h.host)) << h.host;

    std::istringstream password("trocada!\n");
    std::ostringstream out, err;
    ASSERT_EQ(server::createOperator(server.database.target(), server::kDemoOperator, password, out, err,
                                     server::HashCost::Minimal),
              0)
        << err.str();
    EXPECT_EQ(out.str(), "Senha do operador ADMIN trocada.\n");
    EXPECT_NO_THROW(server::refuseDemoPasswordOffLoopback(server.sql(), "0.0.0.0"));
}

TEST(LoginProgram, WithTheDemoPasswordRefusesToListenOffLoopback) {
    server::test::TempDir dir;
    // In clear on purpose, so that the demo password is the only reason left to refuse.
    ServerProcess process({"--db", dir.file("demo.db"), "--seed", "demo", "--listen", "0.0.0.0:0", "--sem-tls"});
    EXPECT_EQ(process.firstLine(), "");
    EXPECT_EQ(process.exitStatus(), 1);
    EXPECT_TRUE(process.errorText().ends_with(
        "krv-server: O servidor não escuta em 0.0.0.0 enquanto algum operador tiver a senha de demonstração "
        "(ADMIN): troque-a antes com krv-server --db BANCO --cria-operador ADMIN.\n"))
        << process.errorText();
}
