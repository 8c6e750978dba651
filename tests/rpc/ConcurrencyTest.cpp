#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "Loopback.h"

using namespace krv;
using namespace krv::rpc;
using namespace krv::rpc::test;

TEST(Concurrency, ManyClientsGetTheirOwnAnswers) {
    Dispatcher dispatcher;
    dispatcher.add("Teste", "Dobra", {ArgType::String, ArgType::Number}, [](std::vector<Variant>& args) {
        args[1] = args[1].asInt() * 2;
        return Variant(args[0].str() + "!");
    });
    auto server = startServer(dispatcher);

    constexpr int kClients = 8;
    constexpr int kCalls = 200;
    std::atomic<int> right{0};
    auto runClient = [&](int c) {
        auto client = connectedClient(*server);
        for (int i = 0; i < kCalls; ++i) {
            const std::string name = "cliente" + std::to_string(c) + "-" + std::to_string(i);
            std::vector<Variant> args{name, c * 1000 + i};
            const Variant result = client->call("Teste", "Dobra", args);
            right += result == Variant(Variant::Array{true, name + "!"}) && args[1] == Variant((c * 1000 + i) * 2);
        }
    };
    std::vector<std::thread> clients;
    for (int c = 0; c < kClients; ++c) {
        clients.emplace_back([&, c] {
            try {
                runClient(c);
            } catch (const std::exception& error) {
                ADD_FAILURE() << error.what();
            }
        });
    }
    for (auto& thread : clients) thread.join();
    EXPECT_EQ(right.load(), kClients * kCalls);
}
