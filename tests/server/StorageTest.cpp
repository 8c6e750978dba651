#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "ServerTestSupport.h"
#include "server/Schema.h"
#include "server/Storage.h"

using namespace krv;
using namespace krv::server;
using krv::server::test::TempDir;
using krv::server::test::TestServer;

namespace {

int64_t scalar(Connection& c, const std::string& sql) {
    SQLite::Statement query(c.database(), sql);
    query.executeStep();
    return query.getColumn(0).getInt64();
}

}  // namespace

TEST(Storage, OpeningTwiceMigratesOnceWithWalAndForeignKeys) {
    TempDir dir;
    const std::string path = dir.file("twice.db");
    { Application first({path, false, test::fixedNow}); }
    Application second({path, false, test::fixedNow});
    Connection& c = second.storage().connection();

    EXPECT_EQ(schemaVersion(c), latestSchemaVersion());
    EXPECT_EQ(scalar(c, "SELECT count(*) FROM schema_version"), latestSchemaVersion());
    SQLite::Statement mode(c.database(), "PRAGMA journal_mode");
    mode.executeStep();
    EXPECT_EQ(mode.getColumn(0).getString(), "wal");
    EXPECT_EQ(scalar(c, "PRAGMA foreign_keys"), 1);
    // The product code picture is there without any demo data: the host needs it to start.
    EXPECT_EQ(scalar(c, "SELECT count(*) FROM code_picture WHERE tppicture = 0"), 1);
    EXPECT_THROW(c.database().exec("INSERT INTO service VALUES ('9999', '0001', 'Sem filial')"), SQLite::Exception);
}

TEST(Storage, RefusesADatabaseFromANewerBuild) {
    TempDir dir;
    const std::string path = dir.file("newer.db");
    { Application app({path, false, test::fixedNow}); }
    {
        Connection c(path);
        c.database().exec("INSERT INTO schema_version (version) VALUES (999)");
    }
    EXPECT_THROW(Application({path, false, test::fixedNow}), std::runtime_error);
}

TEST(Storage, WriteCommitsAllOrNothingAndNestedWritesJoin) {
    TestServer server(false);
    Connection& c = server.app->storage().connection();
    const auto addList = [](Connection& conn) {
        conn.database().exec(
            "INSERT INTO server_list (tplista, rows, dtcriacao) VALUES ('services', x'90', '2026-03-15 10:00:00')");
    };
    EXPECT_THROW(c.write([&](Connection& conn) {
        addList(conn);
        conn.write(addList);  // joins, so the failure below takes this row too
        throw std::runtime_error("falhou no meio");
    }),
                 std::runtime_error);
    EXPECT_EQ(server.count("SELECT count(*) FROM server_list"), 0);

    // A query stepped once inside the failed work must not keep the next write out.
    EXPECT_THROW(c.write([&](Connection& conn) {
        addList(conn);
        auto query = conn.statement("SELECT nrlista FROM server_list");
        query->executeStep();
        throw std::runtime_error("falhou com consulta aberta");
    }),
                 std::runtime_error);
    c.write(addList);
    EXPECT_EQ(server.count("SELECT count(*) FROM server_list"), 1);
}

TEST(Storage, ConcurrentWritersOnTheirOwnConnectionsAllSucceed) {
    TestServer server(false);
    Storage& storage = server.app->storage();
    constexpr int kThreads = 4, kWrites = 25;
    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    std::vector<Connection*> used(kThreads);
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] {
            used[t] = &storage.connection();
            for (int i = 0; i < kWrites; ++i) {
                try {
                    // Read first, then write: the pattern that deadlocks without IMMEDIATE.
                    storage.connection().write([&](Connection& c) {
                        c.statement("SELECT count(*) FROM server_list")->executeStep();
                        auto insert = c.statement(
                            "INSERT INTO server_list (tplista, rows, dtcriacao) VALUES ('shifts', x'90', ?)");
                        insert->bind(1, "2026-03-15 10:00:00");
                        insert->exec();
                    });
                } catch (const std::exception&) {
                    ++failures;
                }
            }
        });
    for (auto& t : threads) t.join();
    EXPECT_EQ(failures.load(), 0);
    // Counted on the connection that ran the migrations at start: every lease it gave out
    // since has ended, so it holds no stale snapshot and sees all the other threads wrote.
    EXPECT_EQ(server.count("SELECT count(*) FROM server_list"), kThreads * kWrites);
    for (int t = 1; t < kThreads; ++t) EXPECT_NE(used[t], used[0]);
    EXPECT_EQ(&storage.connection(), &storage.connection());
}

TEST(Storage, ListsOlderThanADayArePurgedAtStart) {
    TempDir dir;
    const std::string path = dir.file("lists.db");
    {
        Application app({path, false, test::fixedNow});
        app.storage().connection().database().exec(
            "INSERT INTO server_list (tplista, rows, dtcriacao) VALUES"
            " ('services', x'90', '2026-03-14 10:29:59'),"  // a day and a second old
            " ('shifts', x'90', '2026-03-14 10:30:01'),"    // just under a day
            " ('calculation', x'90', '2026-03-15 09:00:00')");
    }
    Application reopened({path, false, test::fixedNow});
    SQLite::Statement kinds(
        reopened.storage().connection().database(),
        "SELECT group_concat(tplista, ',') FROM (SELECT tplista FROM server_list ORDER BY nrlista)");
    kinds.executeStep();
    EXPECT_EQ(kinds.getColumn(0).getString(), "shifts,calculation");
}
