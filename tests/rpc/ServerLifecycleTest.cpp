#include <gtest/gtest.h>

#include <thread>

#include "Loopback.h"
#include "core/Errors.h"

using namespace krv;
using namespace krv::rpc;
using namespace krv::rpc::test;

TEST(ServerLifecycle, ACallAfterTheServerRestartedGoesThroughOnANewConnectionUnlessItCameBackOnAnotherDatabase) {
    Dispatcher dispatcher;
    int echoed = 0;
    dispatcher.add("Teste", "Eco", {ArgType::Any}, [&](std::vector<Variant>& args) {
        ++echoed;
        return args.at(0);
    });
    ServerOptions options;
    options.identity = "banco A";
    auto first = startServer(dispatcher, options);
    options.port = first->port();
    auto client = connectedClient(*first);
    std::vector<Variant> args{"antes"};
    client->call("Teste", "Eco", args);

    first->stop();
    auto second = startServer(dispatcher, options);
    ASSERT_EQ(second->port(), options.port);

    // The old connection died with the first server while the client was idle: the next call
    // connects again and goes through, with no error to show.
    std::vector<Variant> again{"depois"};
    EXPECT_EQ(client->call("Teste", "Eco", again), Variant(Variant::Array{true, "depois"}));
    EXPECT_TRUE(client->connected());

    // Back on another database: refused, each time, and the call never reaches it.
    second->stop();
    options.identity = "banco B";
    auto elsewhere = startServer(dispatcher, options);
    for (int attempt = 0; attempt < 2; ++attempt) {
        std::vector<Variant> lost{"outro banco"};
        try {
            client->call("Teste", "Eco", lost);
            FAIL() << "a call went on with another database";
        } catch (const ENetError& error) {
            EXPECT_EQ(std::string(error.what()), "O servidor 127.0.0.1:" + std::to_string(options.port) +
                                                     " agora responde por outro banco de dados (banco B; antes: "
                                                     "banco A). Nada foi enviado a ele: feche a tela e conecte-se de novo.");
        }
    }
    EXPECT_EQ(echoed, 2);

    // Binding a port that is taken fails with a clear error.
    ServerOptions taken;
    taken.port = options.port;
    Server third(dispatcher, taken);
    try {
        third.start();
        FAIL() << "two servers listen on one port";
    } catch (const ENetError& error) {
        EXPECT_EQ(std::string(error.what()),
                  "Não foi possível escutar em 127.0.0.1:" + std::to_string(options.port) + ": endereço já em uso");
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

TEST(ServerLifecycle, AClientOfSeveralServersMovesToTheNextWhenItsServerIsLost) {
    Dispatcher dispatcher;
    addEcho(dispatcher);
    auto first = startServer(dispatcher), second = startServer(dispatcher);
    const std::string where[] = {"127.0.0.1:" + std::to_string(first->port()),
                                 "127.0.0.1:" + std::to_string(second->port())};
    Endpoint endpoint;
    applyServerList(where[0] + "," + where[1], endpoint);
    Client client;
    client.connect(endpoint);
    std::vector<Variant> args{"primeiro"};
    EXPECT_EQ(client.call("Teste", "Eco", args), Variant(Variant::Array{true, "primeiro"}));

    first->stop();
    args = {"segundo"};
    EXPECT_EQ(client.call("Teste", "Eco", args), Variant(Variant::Array{true, "segundo"})) << "no error to show";

    // Every server down: one error that names each of them.
    second->stop();
    try {
        client.call("Teste", "Eco", args);
        FAIL() << "a call went through with every server down";
    } catch (const ENetError& error) {
        EXPECT_EQ(std::string(error.what()),
                  "Nenhum dos servidores respondeu: Não foi possível conectar ao servidor " + where[0] +
                      ": conexão recusada; Não foi possível conectar ao servidor " + where[1] + ": conexão recusada");
    }
    // A stopped server of the list answers again: the client finds it.
    ServerOptions samePort;
    samePort.port = second->port();
    auto again = startServer(dispatcher, samePort);
    args = {"de volta"};
    EXPECT_EQ(client.call("Teste", "Eco", args), Variant(Variant::Array{true, "de volta"}));
}
