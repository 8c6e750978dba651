#include <gtest/gtest.h>

#include <thread>

#include "Loopback.h"
#include "core/Errors.h"

using namespace krv;
using namespace krv::rpc;
using namespace krv::rpc::test;

TEST(ServerLifecycle, CallFailsAfterServerRestartThenConnectRecovers) {
    Dispatcher dispatcher;
    addEcho(dispatcher);
    auto first = startServer(dispatcher);
    const uint16_t port = first->port();
    auto client = connectedClient(*first);
    std::vector<Variant> args{"antes"};
    client->call("Teste", "Eco", args);

    first->stop();
    ServerOptions samePort;
    samePort.port = port;
    auto second = startServer(dispatcher, samePort);
    ASSERT_EQ(second->port(), port);

    // The old connection died with the first server; the call must say so, not hang
    // or pretend to have succeeded.
    try {
        client->call("Teste", "Eco", args);
        FAIL() << "a call over a dead connection succeeded";
    } catch (const ENetError& error) {
        EXPECT_EQ(std::string(error.what()), "Conexão encerrada pelo servidor 127.0.0.1:" + std::to_string(port));
    }
    EXPECT_FALSE(client->connected());
    EXPECT_EQ(args, std::vector<Variant>{"antes"});

    client->connect(endpointOf(*second));
    std::vector<Variant> again{"depois"};
    EXPECT_EQ(client->call("Teste", "Eco", again), Variant(Variant::Array{true, "depois"}));

    // Binding a port that is taken fails with a clear error.
    ServerOptions taken;
    taken.port = port;
    Server third(dispatcher, taken);
    try {
        third.start();
        FAIL() << "two servers listen on one port";
    } catch (const ENetError& error) {
        EXPECT_EQ(std::string(error.what()),
                  "Não foi possível escutar em 127.0.0.1:" + std::to_string(port) + ": endereço já em uso");
    }
}

TEST(ServerLifecycle, WaitReturnsOnceStoppedFromAnotherThread) {
    Dispatcher dispatcher;
    addEcho(dispatcher);
    auto server = startServer(dispatcher);
    std::thread stopper([&] { server->stop(); });
    server->wait();
    stopper.join();
    EXPECT_THROW(server->start(), std::logic_error);
    EXPECT_THROW(connectedClient(*server), ENetError);
}
