// A write that waits for a lock held by another program on the database leaves the readers
// of its worker answered meanwhile, and still goes through once the lock is given back.
#include <gtest/gtest.h>

#include <thread>

#include "Loopback.h"
#include "ServerTestSupport.h"
#include "rpc/Client.h"
#include "rpc/Server.h"
#include "server/objects/PedReqObject.h"
#include "server/stores/ListStore.h"

using namespace krv;
using krv::server::PedReqObject;
namespace test = krv::server::test;

namespace {

class ReadersBesideWriter : public test::EngineTest {};
KRV_ON_BOTH_ENGINES(ReadersBesideWriter);

// Another program's transaction that keeps every writer of server lists out until it ends;
// it ends with the test however the test ends, so that no write is left waiting on it.
class OtherProgramsLock {
public:
    OtherProgramsLock(const std::string& target, test::Engine engine)
        : database_(server::db::openDatabase(target)), c_(database_->connection()) {
        if (engine == test::Engine::SQLite) {
            c_.script("BEGIN IMMEDIATE");
        } else {
            c_.script("BEGIN");
            c_.script("LOCK TABLE server_list IN EXCLUSIVE MODE");
        }
    }
    ~OtherProgramsLock() { release(); }
    void release() {
        if (std::exchange(held_, false)) c_.script("ROLLBACK");
    }
    // Sessions waiting for a lock; PostgreSQL only, where it can be seen from outside.
    int64_t waiting() { return c_.integer("SELECT count(*) FROM pg_locks WHERE NOT granted").value_or(0); }

private:
    std::unique_ptr<server::db::Database> database_;
    server::db::Connection& c_;
    bool held_ = true;
};

rpc::Endpoint endpointOf(const rpc::Server& server) {
    rpc::Endpoint endpoint;
    endpoint.port = server.port();
    endpoint.timeout = std::chrono::seconds(30);
    return endpoint;
}

}  // namespace

TEST_P(ReadersBesideWriter, GetFilialIsAnsweredWhileAListWriteWaitsForTheLock) {
    test::TestServer server(engine());
    rpc::ServerOptions options;
    options.threads = 1;  // the reader and the writer on the same worker
    rpc::Server transport(server.app->dispatcher(), options);
    transport.start();
    rpc::test::RawConnection writer(transport.port());
    rpc::Client reader;
    reader.connect(endpointOf(transport));

    const int64_t listsBefore = server.count("SELECT count(*) FROM server_list");
    OtherProgramsLock lock(server.database.target(), engine());
    // The write's bytes are on the server before the read's, so its worker reads it first.
    writer.send(rpc::requestFrame(1, PedReqObject::kName, "GetNrListaServ", {"0001", "T", ""}));
    if (engine() == test::Engine::PostgreSQL) {
        const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (lock.waiting() == 0 && std::chrono::steady_clock::now() < giveUp) std::this_thread::yield();
        ASSERT_GT(lock.waiting(), 0) << "the write never waited for the lock";
    }

    std::vector<Variant> branch{"0001"};
    const Variant read = reader.call(PedReqObject::kName, "GetFilial", branch);
    ASSERT_EQ(read.array().at(0), Variant(true));
    EXPECT_EQ(read.array().at(1).packet().rows.size(), 1u);

    // Had the read waited behind the write, the write would have given up first (SQLite's
    // busy time-out) or the read would never have been answered (PostgreSQL).
    lock.release();
    const auto written = writer.receive(std::chrono::seconds(20));
    ASSERT_TRUE(written);
    ASSERT_TRUE(written->ok) << written->result.asString();
    EXPECT_EQ(written->result.array().at(0), Variant(true)) << written->result.array().at(1).asString();
    EXPECT_EQ(server.count("SELECT count(*) FROM server_list"), listsBefore + 1);
    transport.stop();
}

// A read renews its list's last use at most hourly; that bookkeeping never waits behind
// another program's writer: it is skipped, and the next use after the lock renews it.
TEST_P(ReadersBesideWriter, AListReadWhileAnotherWriterHoldsTheLockSkipsRenewingItsLastUse) {
    test::TestServer server(engine());
    server::ListStore lists(server.sql(), "OPER");
    const DateTime now = test::fixedNow();
    const int64_t number = lists.storeServices("0001", {"0001"}, std::nullopt, now);
    const auto lastUse = [&] {
        return *server.sql().text("SELECT CAST(dtuso AS VARCHAR(30)) FROM server_list WHERE nrlista = ?", {number});
    };
    const DateTime later = now.addDays(1);  // past the hour after which a use is written down
    const std::string before = lastUse();
    {
        OtherProgramsLock lock(server.database.target(), engine());
        const auto started = std::chrono::steady_clock::now();
        ASSERT_TRUE(lists.find(number, later).has_value());
        // Not a speed target: waiting at all would mean SQLite's 10 s busy time-out, or on
        // PostgreSQL no end, where skipping takes milliseconds.
        EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
        EXPECT_EQ(lastUse(), before);
    }
    ASSERT_TRUE(lists.find(number, later).has_value());
    EXPECT_NE(lastUse(), before);
}
