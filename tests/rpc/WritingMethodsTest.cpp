#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <latch>

#include "Loopback.h"
#include "core/Errors.h"
#include "rpc/NetErrors.h"

using namespace krv;
using namespace krv::rpc;
using namespace krv::rpc::test;

namespace {

// Object "Teste" with the read "Eco" and the write "Grava", which answers its argument
// only once the test opens the gate, served with every connection on one worker. The gate
// opens before the server stops, so that a failed test does not hang in stop().
struct GatedWrite {
    Dispatcher dispatcher;
    std::latch entered{1};
    std::atomic<int> runs{0};
    std::promise<void> gate;
    std::shared_future<void> opened = gate.get_future().share();
    bool open = false;

    GatedWrite() {
        addEcho(dispatcher);
        dispatcher.add(Access::Writes, "Teste", "Grava", {ArgType::Any}, [this](std::vector<Variant>& args) {
            if (++runs == 1) entered.count_down();
            opened.wait();
            return args[0];
        });
    }
    ~GatedWrite() {
        release();
        server.reset();
    }
    Server& start() {
        ServerOptions options;
        options.threads = 1;
        server = startServer(dispatcher, options);
        return *server;
    }
    void release() {
        if (!std::exchange(open, true)) gate.set_value();
    }

    std::unique_ptr<Server> server;
};

Variant payloadOf(const Response& response) {
    EXPECT_TRUE(response.ok) << response.result.asString();
    return response.result.array().at(1);
}

}  // namespace

TEST(WritingMethods, AreMarkedAtRegistrationAndReadsAreTheDefault) {
    GatedWrite methods;
    EXPECT_EQ(methods.dispatcher.access("Teste", "Grava"), Access::Writes);
    EXPECT_EQ(methods.dispatcher.access("Teste", "Eco"), Access::Reads);
    EXPECT_EQ(methods.dispatcher.access("Teste", "Desconhecido"), Access::Reads);
    EXPECT_EQ(methods.dispatcher.access("Outro", "Grava"), Access::Reads);
}

// The connection that waits for its write sent a read right behind it: that read must be
// answered after the write, while another connection of the same worker is answered at once.
TEST(WritingMethods, AWaitingWriteDelaysNoOtherConnectionAndKeepsItsOwnAnswersInOrder) {
    GatedWrite methods;
    Server& server = methods.start();
    RawConnection writer(server.port());
    writer.send(requestFrame(1, "Teste", "Grava", {"gravado"}) + requestFrame(2, "Teste", "Eco", {"depois"}));
    methods.entered.wait();

    auto reader = connectedClient(server);
    std::vector<Variant> args{"leitura"};
    EXPECT_EQ(reader->call("Teste", "Eco", args), Variant(Variant::Array{true, "leitura"}));

    methods.release();
    const auto first = writer.receive();
    const auto second = writer.receive();
    ASSERT_TRUE(first && second);
    EXPECT_EQ(first->id, 1);
    EXPECT_EQ(payloadOf(*first), Variant("gravado"));
    EXPECT_EQ(second->id, 2);
    EXPECT_EQ(payloadOf(*second), Variant("depois"));
}

// Whether the write's answer still goes out depends on whether stop() got in before the
// gate opened; either way no call is left waiting and nothing runs after stop() returns.
TEST(WritingMethods, StopWaitsForTheRunningWriteAndLeavesNoCallWaiting) {
    GatedWrite methods;
    Server& server = methods.start();
    auto callWrite = [&] {
        return std::async(std::launch::async, [client = connectedClient(server)] {
            std::vector<Variant> args{"gravado"};
            try {
                return client->call("Teste", "Grava", args);
            } catch (const ENetError&) {
                return Variant("conexão encerrada");
            }
        });
    };
    auto running = callWrite();
    methods.entered.wait();
    auto queued = callWrite();

    auto stopping = std::async(std::launch::async, [&] { server.stop(); });
    EXPECT_NE(stopping.wait_for(std::chrono::seconds(0)), std::future_status::ready)
        << "stop() returned while a method was still running";
    methods.release();
    stopping.get();
    const int runsWhenStopped = methods.runs;
    for (auto* call : {&running, &queued})
        EXPECT_EQ(call->wait_for(std::chrono::seconds(10)), std::future_status::ready);
    EXPECT_EQ(methods.runs.load(), runsWhenStopped);
}

TEST(WritingMethods, AClientGoneDuringItsWriteLeavesTheServerServing) {
    GatedWrite methods;
    Server& server = methods.start();
    {
        RawConnection gone(server.port());
        gone.send(requestFrame(1, "Teste", "Grava", {"perdido"}));
        methods.entered.wait();
    }
    methods.release();

    auto client = connectedClient(server);
    std::vector<Variant> write{"gravado"}, read{"lido"};
    EXPECT_EQ(client->call("Teste", "Grava", write), Variant(Variant::Array{true, "gravado"}));
    EXPECT_EQ(client->call("Teste", "Eco", read), Variant(Variant::Array{true, "lido"}));
    EXPECT_EQ(methods.runs.load(), 2);
}
