#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <memory>
#include <thread>

#include "ServerProcess.h"
#include "ServerTestSupport.h"
#include "rpc/Client.h"
#include "server/objects/PedReqObject.h"
#include "server/objects/SessionObject.h"
#include "server/seed/DemoSeed.h"
#include "server/stores/OperatorStore.h"

using namespace krv;
using krv::server::PedReqObject;
using krv::server::test::Args;

namespace {

// Two server processes started at once on one empty PostgreSQL database, as a company that
// grows past one machine runs them; each client talks to one of them.
class SharedDatabase : public ::testing::Test {
protected:
    void SetUp() override {
        const std::vector<std::string> args{"--db", database.target(), "--listen", "127.0.0.1:0", "--seed", "demo:16"};
        for (auto& process : processes) process = std::make_unique<server::test::ServerProcess>(args);
        for (size_t i = 0; i < 2; ++i) {
            ports[i] = server::test::announcedPort(*processes[i]);
            ASSERT_NE(ports[i], 0);
        }
        rpc::Client first;
        first.connect(endpoint(0));
        Args branch{"0001"};
        today = first.call(server::SessionObject::kName, "DataProc", branch).array().at(1).asDateTime();
    }

    rpc::Endpoint endpoint(size_t client) const {
        return server::test::TestServer::endpoint(ports[client % 2], server::kDemoOperator, server::kDemoPassword);
    }

    // `clients` clients at once, alternating between the servers, each calling `work` with its
    // own connection `rounds` times; returns how many of those calls were refused.
    // They log in one after the other: an address may only have a few logins waiting.
    int refusalsOf(size_t clients, int rounds, const std::function<Variant(rpc::Client&, size_t)>& work) {
        std::vector<std::unique_ptr<rpc::Client>> connected;
        for (size_t i = 0; i < clients; ++i) {
            connected.push_back(std::make_unique<rpc::Client>());
            connected.back()->connect(endpoint(i));
        }
        std::atomic<int> refused = 0;
        std::vector<std::thread> threads;
        for (size_t i = 0; i < clients; ++i)
            threads.emplace_back([&, i] {
                rpc::Client& client = *connected[i];
                for (int round = 0; round < rounds; ++round) {
                    const Variant answer = work(client, i);
                    if (!answer.array().at(0).asBool()) {
                        ADD_FAILURE() << "client " << i << ": " << answer.array().at(1).asString();
                        ++refused;
                    }
                }
            });
        for (std::thread& t : threads) t.join();
        return refused;
    }

    // Three days of one kitchen's requisitions, rounded to packages.
    Variant calculate(rpc::Client& client, const std::string& kitchen) const {
        Args services{kitchen, "T", ""};
        const Variant list = client.call(PedReqObject::kName, "GetNrListaServ", services).array().at(1).array().at(0);
        Args args{kitchen, today, today.addDays(2), 10.0, "S", "CFP", server::kDemoOperator, kitchen, list, "", ""};
        return client.call(PedReqObject::kName, "CalculaRequisicoes", args);
    }

    // A kitchen's requisitions and items, without who calculated them when.
    std::string requisitionsOf(const std::string& kitchen) const {
        const auto db = server::db::openDatabase(database.target());
        std::string text;
        db->connection().each(
            "SELECT r.cdservfili, r.cdturno, r.dtrequipedido, r.cdgrupprod, r.cdsubgrprod, r.nrseqrequipedido,"
            " i.cdproduto, i.idtipoconsumo, i.qtrequisitada FROM requisition r"
            " JOIN requisition_item i ON i.nrrequipedido = r.nrrequipedido WHERE r.cdfilial = ?"
            " ORDER BY r.dtrequipedido, r.cdservfili, r.cdturno, r.cdgrupprod, r.cdsubgrprod, i.cdproduto,"
            " i.idtipoconsumo",
            {kitchen}, [&](const server::db::ResultRow& row) {
                for (int c = 0; c < row.size(); ++c) text += row.text(c) + (c + 1 < row.size() ? " " : "\n");
            });
        return text;
    }

    server::test::TestDatabase database{server::test::Engine::PostgreSQL};
    std::unique_ptr<server::test::ServerProcess> processes[2];
    uint16_t ports[2] = {};
    DateTime today;
};

std::string kitchen(size_t index) { return server::fourDigitCode(index + 1); }

}  // namespace

TEST_F(SharedDatabase, CalculationsOfDifferentKitchensThroughTwoServersAreNeverRefused) {
    EXPECT_EQ(refusalsOf(16, 2, [&](rpc::Client& client, size_t i) { return calculate(client, kitchen(i)); }), 0);
    const auto db = server::db::openDatabase(database.target());
    EXPECT_EQ(
        db->connection().integer("SELECT count(*) FROM (SELECT 1 FROM requisition"
                                 " GROUP BY cdfilial, dtrequipedido, nrseqrequipedido HAVING count(*) > 1) twice"),
        0);
    for (size_t i = 0; i < 16; ++i) EXPECT_NE(requisitionsOf(kitchen(i)), "") << kitchen(i);
}

TEST_F(SharedDatabase, CalculationsOfOneKitchenThroughTwoServersWaitTheirTurnAndLeaveOneResult) {
    // Half the clients forecast for the kitchen's logistic operator meanwhile.
    EXPECT_EQ(refusalsOf(8, 1,
                         [&](rpc::Client& client, size_t i) {
                             if (i % 4 != 3) return calculate(client, "0001");
                             Args forecast{"0017", today, today.addDays(2), server::kDemoOperator};
                             return client.call(PedReqObject::kName, "CalculaPrevisaoConsumo", forecast);
                         }),
              0);
    const std::string together = requisitionsOf("0001");
    rpc::Client alone;
    alone.connect(endpoint(0));
    EXPECT_TRUE(calculate(alone, "0001").array().at(0).asBool());
    EXPECT_EQ(together, requisitionsOf("0001"));
}
