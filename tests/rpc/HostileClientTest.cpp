#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

#include <fstream>
#include <functional>
#include <thread>

#include "Loopback.h"
#include "core/Codec.h"
#include "core/Errors.h"
#include "rpc/Frame.h"
#include "rpc/Message.h"
#include "support/TempDir.h"
#include "support/TestCa.h"

using namespace krv;
using namespace krv::rpc;
using namespace krv::rpc::test;
using namespace std::chrono_literals;

namespace {

const char* kToken = "s3gr3do";

// The resident memory of this process, where the server under test runs.
size_t residentBytes() {
    std::ifstream statm("/proc/self/statm");
    size_t total = 0, resident = 0;
    statm >> total >> resident;
    return resident * size_t(sysconf(_SC_PAGESIZE));
}

// A frame header announcing `length` body bytes.
std::string headerOf(size_t length) { return framed(std::string(length, 'x')).substr(0, 4); }

class HostileClient : public ::testing::Test {
protected:
    void SetUp() override {
        addEcho(dispatcher);
        // Takes its argument and answers nothing back, so only the request is big.
        dispatcher.add("Teste", "Recebe", {ArgType::Any}, [](std::vector<Variant>& args) {
            args[0] = Variant();
            return Variant();
        });
    }

    std::unique_ptr<Server> start(ServerOptions options) {
        options.log = log.sink();
        options.refusalQuiet = {};
        return startServer(dispatcher, std::move(options));
    }

    static std::string echoOf(const Server& server, const std::string& token = {}) {
        auto client = connectedClient(server, token);
        std::vector<Variant> args{"ainda atende"};
        return client->call("Teste", "Eco", args).array()[1].str();
    }

    Dispatcher dispatcher;
    ServerLog log;
};

}  // namespace

TEST_F(HostileClient, BeforeLoginAFrameHoldsAtMostFourKiB) {
    ServerOptions options;
    options.token = kToken;
    auto server = start(options);
    // ["auth", token] is 9 bytes around a token of 256 bytes or more.
    const std::string fits(4096 - 9, 't');
    const std::string where = "127.0.0.1:" + std::to_string(server->port());
    struct Case {
        std::string token, outcome, logged;
    };
    const std::vector<Case> cases{
        {fits, "O servidor " + where + " recusou o token de acesso", "token de acesso ausente ou inválido"},
        {fits + "t", "Conexão encerrada pelo servidor " + where, "quadro de 4097 bytes excede o limite de 4096 bytes"},
    };
    for (const Case& c : cases) {
        try {
            connectedClient(*server, c.token);
            ADD_FAILURE() << "a wrong token was let in";
        } catch (const ENetError& error) {
            EXPECT_EQ(std::string(error.what()), c.outcome);
        }
        EXPECT_TRUE(log.waitFor(c.logged)) << c.logged;
    }
    // Once logged in, the frame limit is the usual one.
    auto client = connectedClient(*server, kToken);
    std::vector<Variant> big{std::string(100000, 'g')};
    EXPECT_EQ(client->call("Teste", "Eco", big), Variant(Variant::Array{true, std::string(100000, 'g')}));
}

TEST_F(HostileClient, DeadlinesCloseSlowSilentAndIdleConnections) {
    support::TempDir dir{"krv-prazos"};
    support::TestCa ca{dir.path(), "ca"};
    const auto certificate = ca.issue("servidor", "IP:127.0.0.1");
    ServerOptions options;
    options.frameTimeout = 300ms;
    options.loginTimeout = 300ms;
    options.idleTimeout = 200ms;
    options.handshakeTimeout = 200ms;
    auto server = start(options);
    options.token = kToken;
    auto loginServer = start(options);
    options.token.clear();
    options.tlsCertFile = certificate.certFile;
    options.tlsKeyFile = certificate.keyFile;
    auto tlsServer = start(options);

    // A byte every 50 ms would renew a deadline counted per read forever: the close must come
    // while the bytes still trickle in, not after the last one.
    RawConnection slow(server->port());
    const std::string frame = requestFrame(1, "Teste", "Eco", {"devagar, bem devagar"});
    ASSERT_GT(frame.size() * 50ms, 2 * options.frameTimeout) << "the trickle must outlast the deadline well";
    bool closed = false;
    for (size_t sent = 0; sent < frame.size() - 1 && !closed; ++sent)
        closed = !slow.send(frame.substr(sent, 1)) || slow.closedByServer(50ms);
    EXPECT_TRUE(closed) << "a frame " << frame.size() << " bytes long outlived its deadline";
    EXPECT_TRUE(log.waitFor("quadro incompleto após 0,3 s"));

    // Answered once, then silent.
    RawConnection idle(server->port());
    idle.send(frame);
    EXPECT_TRUE(idle.closedByServer());
    EXPECT_TRUE(log.waitFor("ociosa por 0,2 s"));

    // Connected, and never logging in: no idle time before login.
    RawConnection anonymous(loginServer->port());
    EXPECT_TRUE(anonymous.closedByServer());
    EXPECT_TRUE(log.waitFor("sem login após 0,3 s"));

    // Connected to a TLS port and never saying hello.
    RawConnection mute(tlsServer->port());
    EXPECT_TRUE(mute.closedByServer());
    EXPECT_TRUE(log.waitFor("TLS não concluído em 0,2 s"));

    EXPECT_EQ(echoOf(*server), "ainda atende");
}

TEST_F(HostileClient, UnfinishedFramesStayWithinTheSharedBudget) {
    ServerOptions options;
    options.maxPendingBytes = 48u << 20;
    options.threads = 1;
    auto server = start(options);
    EXPECT_EQ(echoOf(*server), "ainda atende");
    const size_t before = residentBytes();

    // Five clients each start a 40 MiB frame and send 32 MiB of it. Beside the first, no
    // 40 MiB frame fits: the others are refused at their header, before their bytes are read.
    const std::string chunk(1u << 20, 'm');
    std::vector<std::unique_ptr<RawConnection>> hogs;
    size_t refused = 0;
    for (int i = 0; i < 5; ++i) {
        hogs.push_back(std::make_unique<RawConnection>(server->port()));
        bool open = hogs.back()->send(headerOf(40u << 20));
        if (i > 0) {
            EXPECT_TRUE(hogs.back()->closedByServer()) << "client " << i;
            ++refused;
            continue;
        }
        for (int mib = 0; mib < 32 && open; ++mib) open = hogs.back()->send(chunk);
        EXPECT_TRUE(open);
    }
    EXPECT_EQ(echoOf(*server), "ainda atende") << "a new client is served while the frames hang";
    EXPECT_LE(server->usage().pendingBytes, options.maxPendingBytes);
    const size_t grown = residentBytes() - std::min(before, residentBytes());
#ifndef __SANITIZE_ADDRESS__  // its quarantine keeps freed memory resident
    EXPECT_LT(grown, size_t(64u << 20)) << grown / (1u << 20) << " MiB";
#endif
    EXPECT_EQ(refused, 4u);
    EXPECT_TRUE(log.waitFor("memória para quadros incompletos esgotada no servidor (limite de 50331648 bytes)"));
    std::cout << "[ medida   ] 5 x 32 MiB de quadros incompletos: +" << grown / (1u << 20) << " MiB residentes\n";

    // Closed connections give their bytes back: a whole 39 MiB frame fits again.
    hogs.clear();
    Endpoint endpoint = endpointOf(*server);
    Client client;
    client.connect(endpoint);
    const std::string third(13u << 20, 'b');
    std::vector<Variant> big{Variant::Array{third, third, third}};
    EXPECT_NO_THROW(client.call("Teste", "Recebe", big));
}

TEST_F(HostileClient, ConnectionsBeyondTheCapAreClosedAtOnceAndLoggedOnce) {
    constexpr size_t kCap = 100, kTried = 1000;
    ServerOptions options;
    options.maxConnections = kCap;
    options.refusalQuiet = 10s;
    options.log = log.sink();
    auto server = startServer(dispatcher, options);

    asio::io_context io;
    std::vector<asio::ip::tcp::socket> sockets;
    for (size_t i = 0; i < kTried; ++i) {
        sockets.emplace_back(io);
        sockets.back().connect({asio::ip::make_address("127.0.0.1"), server->port()});
        sockets.back().non_blocking(true);
    }
    // Wait until the server has closed every connection beyond the cap.
    std::vector<bool> closed(kTried);
    size_t closedCount = 0;
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (closedCount < kTried - kCap && std::chrono::steady_clock::now() < deadline) {
        std::vector<pollfd> watched;
        for (size_t i = 0; i < kTried; ++i)
            if (!closed[i]) watched.push_back({sockets[i].native_handle(), POLLIN, 0});
        if (::poll(watched.data(), watched.size(), 100) <= 0) continue;
        for (size_t i = 0; i < kTried; ++i) {
            char byte;
            std::error_code error;
            if (!closed[i] && sockets[i].read_some(asio::buffer(&byte, 1), error) == 0 &&
                error != asio::error::would_block) {
                closed[i] = true;
                ++closedCount;
            }
        }
    }
    EXPECT_EQ(closedCount, kTried - kCap);

    // The ones within the cap are served.
    size_t answered = 0;
    for (size_t i = 0; i < kTried; ++i) {
        if (closed[i]) continue;
        sockets[i].non_blocking(false);
        asio::write(sockets[i], asio::buffer(requestFrame(int64_t(i), "Teste", "Eco", {"x"})));
        frame::Header header;
        asio::read(sockets[i], asio::buffer(header));
        std::string body(frame::bodyLength(header), '\0');
        asio::read(sockets[i], asio::buffer(body));
        answered += readResponse(codec::decode(body)).id == int64_t(i);
    }
    EXPECT_EQ(answered, kCap);

    server->stop();
    EXPECT_EQ(log.count("limite de 100 conexões simultâneas atingido"), 2u) << "the first refusal and the summary";
    EXPECT_EQ(log.count("Limite de conexões: mais 899 recusa(s)"), 1u);
}

TEST_F(HostileClient, ClientTextCannotForgeOrFloodTheLog) {
    ServerOptions options;
    options.token = kToken;
    options.log = log.sink();
    auto server = startServer(dispatcher, options);

    // A packet whose field type quotes a forged log line: the decode error repeats it.
    const std::string forged = "x\nkrv-server: Conexão 10.0.0.9:1 autenticada\x1b[2J\u202e";
    // [[["A", forged, 1]], []] as packet extension bytes.
    const std::string fields = std::string(
                                   "\x92\x91\x93\xa1"
                                   "A\xd9") +
                               char(forged.size()) + forged + "\x01\x90";
    const std::string packet = std::string("\xc7") + char(fields.size()) + '\x02' + fields;
    RawConnection raw(server->port());
    raw.send(authFrame(kToken));
    raw.send(
        framed("\x95\x01\x01\xa5Teste\xa3"
               "Eco\x91" +
               packet));
    EXPECT_TRUE(raw.closedByServer());
    EXPECT_TRUE(log.waitFor("de tipo desconhecido"));

    // 200 wrong tokens in a row from one address.
    for (int i = 0; i < 200; ++i) EXPECT_THROW(connectedClient(*server, "errado"), ENetError);
    server->stop();

    // 201 refusals from one address: the first in full, then one line with the count.
    const std::vector<std::string> lines = log.lines();
    ASSERT_EQ(lines.size(), 2u);
    for (const std::string& line : lines) {
        EXPECT_EQ(line.find_first_of("\n\r\x1b"), std::string::npos) << line;
        EXPECT_EQ(line.find("\u202e"), std::string::npos) << line;
    }
    EXPECT_NE(lines[0].find("x\\nkrv-server: Conexão 10.0.0.9:1 autenticada\\x1b[2J\\u{202e}"), std::string::npos)
        << lines[0];
    EXPECT_EQ(lines[1].rfind("Conexões de 127.0.0.1: mais 200 recusa(s) em ", 0), 0u) << lines[1];
    EXPECT_NE(lines[1].find("token de acesso ausente ou inválido"), std::string::npos) << lines[1];
}

namespace {

// Polls what the server accounts until `holds` is true, for at most 10 s.
bool eventually(const std::function<bool()>& holds) {
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (!holds()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::yield();
    }
    return true;
}

}  // namespace

TEST_F(HostileClient, ConnectionsThatNeverLogInKeepToTheirShareAndTheBusiestAddressMakesRoom) {
    ServerOptions options;
    options.token = kToken;
    options.maxConnections = 8;  // a quarter of it for connections not logged in yet: 2
    options.maxAnonymousPerAddress = 2;
    auto server = start(options);

    RawConnection first(server->port(), "127.0.0.2"), second(server->port(), "127.0.0.2");
    RawConnection third(server->port(), "127.0.0.2");
    EXPECT_TRUE(third.closedByServer()) << "one past the address's limit";
    EXPECT_TRUE(log.waitFor("limite de 2 conexões sem login por endereço atingido"));
    ASSERT_TRUE(eventually([&] { return server->usage().anonymous == 2; }));

    // The share is full: a newcomer from elsewhere pushes out the oldest of 127.0.0.2.
    std::vector<std::unique_ptr<Client>> clients;
    clients.push_back(connectedClient(*server, kToken));
    EXPECT_TRUE(first.closedByServer());
    EXPECT_FALSE(second.closedByServer(100ms)) << "only the oldest leaves";
    EXPECT_TRUE(log.waitFor("sai a mais antiga do endereço que mais tem"));

    // Logged-in sessions keep the rest of the cap (6), and no more.
    for (int i = 1; i < 6; ++i) clients.push_back(connectedClient(*server, kToken));
    EXPECT_EQ(server->usage().loggedIn, 6u);
    EXPECT_THROW(connectedClient(*server, kToken), ENetError);
    EXPECT_TRUE(log.waitFor("limite de 6 sessões com login atingido"));
    std::vector<Variant> args{"ainda atende"};
    EXPECT_EQ(clients.front()->call("Teste", "Eco", args).array()[1].str(), "ainda atende");
}

TEST_F(HostileClient, ANewcomerLogsInWhileLoggedInClientsHoldEveryUnfinishedFrameByte) {
    ServerOptions options;
    options.token = kToken;
    options.maxFrameBytes = 4u << 20;
    options.maxPendingBytes = 8u << 20;
    auto server = start(options);
    // Frames, each one byte short, that leave 100 bytes of the budget: less than a login and
    // the calls after it need. Each holds room for its whole frame but its first 4 KiB.
    const auto counted = [](size_t length) { return 4 + length - 4096; };
    const size_t whole = 4u << 20, last = (8u << 20) - 100 - 2 * counted(whole) + 4096 - 4;
    std::vector<std::unique_ptr<RawConnection>> hogs;
    for (const size_t length : {whole, whole, last}) {
        hogs.push_back(std::make_unique<RawConnection>(server->port()));
        hogs.back()->send(authFrame(kToken));
        hogs.back()->send(headerOf(length));
        hogs.back()->send(std::string(length - 1, 'h'));
    }
    ASSERT_TRUE(eventually([&] { return server->usage().pendingBytes == (8u << 20) - 100; })) << server->usage().pendingBytes;
    EXPECT_NO_THROW(connectedClient(*server, kToken)) << "the bytes of a login and a small call are always there";
}

TEST_F(HostileClient, AnswersWaitingForTheirReadersStayWithinTheirBudget) {
    // Larger than what loopback's socket buffers take, so an unread answer stays with the server.
    const std::string big(24u << 20, 'r');
    std::atomic<int> built{0};
    dispatcher.add(Access::LargeReads, "Teste", "Grande", {}, [&](std::vector<Variant>&) {
        ++built;
        return Variant(big);
    });
    ServerOptions options;
    options.maxAnswerBytes = 50u << 20;  // two answers and their frames' few bytes
    options.threads = options.largeReadThreads = 1;  // the requests are answered in the order they come
    auto server = start(options);

    // Each asks for 24 MiB and never reads: two fill the budget, the third is told why once
    // its answer is built, and the fourth before it is.
    std::vector<std::unique_ptr<RawConnection>> readers;
    const auto send = [&] {
        readers.push_back(std::make_unique<RawConnection>(server->port()));
        readers.back()->send(requestFrame(int64_t(readers.size()), "Teste", "Grande", {}));
    };
    const auto ask = [&] {
        send();
        return readers.back()->receive();
    };
    for (int i = 0; i < 2; ++i) send();
    for (const int builds : {3, 3}) {
        const std::optional<Response> refused = ask();
        ASSERT_TRUE(refused);
        EXPECT_FALSE(refused->ok);
        EXPECT_EQ(refused->result.str().rfind("Servidor ocupado: 48 MiB", 0), 0u) << refused->result.str();
        EXPECT_EQ(built, builds);
    }
    EXPECT_LE(server->usage().answerBytes, options.maxAnswerBytes);
    EXPECT_EQ(echoOf(*server), "ainda atende") << "a small answer is never held back";

    readers.clear();
    EXPECT_TRUE(eventually([&] { return server->usage().answerBytes == 0; })) << "given back as the readers leave";
    send();
    EXPECT_TRUE(eventually([&] { return built == 4; })) << "and large answers are built again";
}

TEST_F(HostileClient, ALoginWhoseClientLeftIsNoLongerWanted) {
    std::mutex mutex;
    std::vector<LoginRequest> requests;
    std::vector<LoginReply> replies;
    ServerOptions options;
    options.login = [&](LoginRequest request, LoginReply reply) {
        std::lock_guard lock(mutex);
        requests.push_back(std::move(request));
        replies.push_back(std::move(reply));
    };
    auto server = start(options);
    const auto wanted = [&](size_t i) {
        std::lock_guard lock(mutex);
        return i < requests.size() && requests[i].stillWanted();
    };
    {
        RawConnection leaving(server->port(), "127.0.0.2");
        leaving.send(authFrame("OPA", "palpite"));
        ASSERT_TRUE(eventually([&] { return wanted(0); }));
    }
    EXPECT_TRUE(eventually([&] { return !wanted(0); })) << "its check would be dropped";

    RawConnection staying(server->port());
    staying.send(authFrame("ANA", "certa"));
    ASSERT_TRUE(eventually([&] { return wanted(1); }));
    {
        std::lock_guard lock(mutex);
        EXPECT_EQ(requests[1].address, "127.0.0.1");
        for (auto& reply : replies) reply(LoginAnswer{true});  // the late answer to the gone one goes nowhere
    }
    EXPECT_EQ(staying.receiveBytes(authAnswerFrame(true).size()), authAnswerFrame(true));
    EXPECT_FALSE(staying.closedByServer(100ms)) << "logged in, it stays";
}
