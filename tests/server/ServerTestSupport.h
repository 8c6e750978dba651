#pragma once
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "core/DataPacket.h"
#include "core/Variant.h"
#include "rpc/Dispatcher.h"
#include "rpc/Endpoint.h"
#include "rpc/Server.h"
#include "server/access/OperatorLogin.h"
#include "server/service/Application.h"
#include "support/TempDir.h"

namespace krv::server::test {

using krv::support::TempDir;

// 15/03/2026 10:30, a Sunday: the seed date of every seeded test database.
DateTime fixedNow();
inline DateTime seedDate() { return fixedNow().date(); }

enum class Engine { SQLite, PostgreSQL };
std::string engineName(Engine engine);
inline void PrintTo(Engine engine, std::ostream* out) { *out << engineName(engine); }

// The throwaway cluster that `scripts/pg-cluster start` runs for the test run:
// its URL comes from KRV_TEST_POSTGRES_URL, or from the file "url" in the folder
// KRV_TEST_POSTGRES_STATE. Without either it throws: PostgreSQL cases never pass by
// being skipped.
std::string postgresUrl(const std::string& database = "postgres");
std::string postgresPort();  // of that cluster, for URLs a test writes itself

// A fresh database of one engine: an SQLite file in a temp dir, or a database of its own
// on the test cluster (copied from a seeded template when `seeded`, which is much faster
// than seeding it). Removed at the end.
class TestDatabase {
public:
    explicit TestDatabase(Engine engine, bool seeded = false);
    ~TestDatabase();
    TestDatabase(const TestDatabase&) = delete;
    TestDatabase& operator=(const TestDatabase&) = delete;

    Engine engine() const { return engine_; }
    const std::string& target() const { return target_; }  // for --db

private:
    Engine engine_;
    TempDir dir_;
    std::string name_;  // PostgreSQL only
    std::string target_;
};

// Every row of these tables as one text, in key order: equal texts, equal contents.
std::string contentOf(db::Connection& connection, const std::vector<std::string>& tables);
// Empty when both texts are equal, otherwise the first line where they differ. For contents
// too large for a test framework's full diff, which grows with the square of the lines.
std::string firstDifference(const std::string& actual, const std::string& expected);

// The operator every test server has, and whose session the calls come from.
inline const std::string kTestOperator = "OPER";
inline const std::string kTestPassword = "senha do teste";

// A fresh database opened through the Application like the program does, with the operator
// kTestOperator (hashes at the cheapest cost, so logins cost nothing).
struct TestServer {
    explicit TestServer(Engine engine = Engine::SQLite, bool seeded = true);
    TestDatabase database;
    std::unique_ptr<Application> app;
    // The session the dispatcher's calls come from.
    rpc::Caller caller{kTestOperator, "127.0.0.1:1"};

    db::Connection& sql() const { return app->database().connection(); }

    // Creates an operator, or changes its password.
    void addOperator(const std::string& name, const std::string& password) const;
    // The options of a transport over this server whose connections log in as operators of
    // its table, with refusals slowed by `throttle`.
    rpc::ServerOptions transportOptions(LoginThrottle::Settings throttle = {});
    // Where a client logs in, as kTestOperator unless told otherwise.
    static rpc::Endpoint endpoint(uint16_t port, const std::string& operatorName = kTestOperator,
                                  const std::string& password = kTestPassword);

    // Calls through the dispatcher and expects the method's own success; returns the payload.
    Variant call(const std::string& object, const std::string& method, std::vector<Variant>& args) const;
    // Expects the method's own failure ([false, message]) and returns the message.
    std::string failure(const std::string& object, const std::string& method, std::vector<Variant> args) const;
    rpc::Outcome dispatch(const std::string& object, const std::string& method, std::vector<Variant> args) const;
    // From another session than `caller`'s.
    rpc::Outcome dispatchAs(const rpc::Caller& session, const std::string& object, const std::string& method,
                            std::vector<Variant> args) const;

    int64_t count(const std::string& sqlCountQuery) const;  // first column of a one-row query
    std::string content(const std::vector<std::string>& tables) const { return contentOf(sql(), tables); }

private:
    std::unique_ptr<OperatorLogin> login_;
};

// The rows of a server-held list, each its codes put together (CDFILIAL‖CDSERVFILI of a
// service list, …‖CDTURNO of a shift list, the requisition number of the others), in key order.
std::vector<std::string> listRows(db::Connection& connection, int64_t number);

using Args = std::vector<Variant>;
using Texts = std::vector<std::string>;

// The list number a list method answers as element 0 ([number, …]); list numbers travel as texts.
std::string numberIn(const Variant& payload);

// The values of one field of a packet, as texts, in row order.
std::vector<std::string> columnOf(const DataPacket& packet, const std::string& field);

// Every table of the schema but the operators' (whose hashes differ from one seed to the
// next), for "changes nothing" checks.
const std::vector<std::string>& allTables();

// A test suite whose every test runs once on SQLite and once on PostgreSQL:
//   class Lookups : public EngineTest {};  TEST_P(Lookups, …) { TestServer server(engine()); … }
//   KRV_ON_BOTH_ENGINES(Lookups);
class EngineTest : public ::testing::TestWithParam<Engine> {
protected:
    Engine engine() const { return GetParam(); }
};

#define KRV_ON_BOTH_ENGINES(Suite)                                                                       \
    INSTANTIATE_TEST_SUITE_P(                                                                            \
        Engines, Suite,                                                                                  \
        ::testing::Values(::krv::server::test::Engine::SQLite, ::krv::server::test::Engine::PostgreSQL), \
        [](const auto& info) { return ::krv::server::test::engineName(info.param); })

}  // namespace krv::server::test
