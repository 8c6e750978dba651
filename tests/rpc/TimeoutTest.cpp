#include <gtest/gtest.h>

#include <atomic>
#include <latch>

#include "Loopback.h"
#include "core/Errors.h"

using namespace krv;
using namespace krv::rpc;
using namespace krv::rpc::test;

TEST(Timeout, SilentServerEndsTheCallWithinTheTimeout) {
    std::latch release(1);
    std::latch entered(1);
    std::atomic<int> runs = 0;
    Dispatcher dispatcher;
    dispatcher.add("Teste", "Espera", {}, [&](std::vector<Variant>&) {
        if (++runs == 1) entered.count_down();
        release.wait();
        return Variant("tarde demais");
    });
    addEcho(dispatcher);
    ServerOptions options;
    options.threads = 2;
    auto server = startServer(dispatcher, options);

    Endpoint endpoint = endpointOf(*server);
    endpoint.timeout = std::chrono::milliseconds(200);
    Client client;
    client.connect(endpoint);
    std::vector<Variant> none;
    try {
        client.call("Teste", "Espera", none);
        FAIL() << "the call returned while the method was still blocked";
    } catch (const ENetError& error) {
        EXPECT_EQ(std::string(error.what()),
                  "Tempo esgotado aguardando o servidor 127.0.0.1:" + std::to_string(server->port()) +
                      " (200 ms). O pedido chegou ao servidor e pode ter sido executado: confira antes de repeti-lo");
    }
    EXPECT_FALSE(client.connected());
    entered.wait();

    // Another worker serves other clients while the method is still blocked.
    auto other = connectedClient(*server);
    std::vector<Variant> args{"livre"};
    EXPECT_EQ(other->call("Teste", "Eco", args), Variant(Variant::Array{true, "livre"}));

    // The next call connects again by itself; the one that may have run was not sent again.
    release.count_down();
    EXPECT_EQ(client.call("Teste", "Eco", args), Variant(Variant::Array{true, "livre"}));
    EXPECT_EQ(runs, 1);
}
