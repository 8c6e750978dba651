// Many screens making and deleting their lists at once on one server: every call succeeds
// and nothing is left behind.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>

#include "ServerTestSupport.h"
#include "core/Errors.h"
#include "rpc/Client.h"
#include "rpc/Server.h"
#include "server/objects/PedReqObject.h"

using namespace krv;
using krv::server::PedReqObject;
namespace test = krv::server::test;

namespace {

class ListConcurrency : public test::EngineTest {};
KRV_ON_BOTH_ENGINES(ListConcurrency);

}  // namespace

TEST_P(ListConcurrency, SixteenScreensRenewingAndDeletingListsNeverFailAndLeaveNone) {
    test::TestServer server(engine());
    rpc::ServerOptions options = server.transportOptions();
    options.threads = 4;
    rpc::Server transport(server.app->dispatcher(), options);
    transport.start();

    // SQLite lets one writer in at a time anyway; PostgreSQL is where writers can conflict.
    const auto duration = std::chrono::seconds(engine() == test::Engine::PostgreSQL ? 20 : 5);
    const auto deadline = std::chrono::steady_clock::now() + duration;
    std::atomic<int> calls{0};
    std::mutex mutex;
    std::vector<std::string> failures;
    std::vector<std::thread> screens;
    for (int s = 0; s < 16; ++s)
        screens.emplace_back([&, s] {
            try {
                rpc::Client client;
                client.connect(server.endpoint(transport.port()));
                const auto call = [&](const char* method, std::vector<Variant>& args) {
                    ++calls;
                    const Variant result = client.call(PedReqObject::kName, method, args);
                    if (result.array().at(0) != Variant(true)) throw EServerError(result.array().at(1).asString());
                };
                const std::string branch = s % 2 ? "0001" : "0002";
                std::vector<Variant> lists{"", "", "", ""};
                while (std::chrono::steady_clock::now() < deadline) {
                    // A screen renews its lists a few times, as the user changes the filter, then closes.
                    for (int change = 0; change < 3; ++change) {
                        std::vector<Variant> services{branch, "T", lists[0]};
                        call("GetNrListaServ", services);
                        lists[0] = services[2];
                        std::vector<Variant> shifts{lists[0], lists[1], "T"};
                        call("GetNrListaTurno", shifts);
                        lists[1] = shifts[1];
                    }
                    call("apagaListas", lists);
                }
            } catch (const std::exception& e) {
                std::lock_guard lock(mutex);
                failures.push_back(e.what());
            }
        });
    for (std::thread& screen : screens) screen.join();
    transport.stop();

    EXPECT_TRUE(failures.empty()) << failures.size() << " screens failed, first: " << failures.front();
    EXPECT_GT(calls.load(), 16 * 7) << "every screen went round at least once";
    EXPECT_EQ(server.count("SELECT count(*) FROM server_list"), 0);
}
