#include "ServerTestSupport.h"

#include <algorithm>

#include <stdlib.h>
#include <unistd.h>

#include <atomic>
#include <fstream>
#include <stdexcept>

namespace krv::server::test {

DateTime fixedNow() { return DateTime::fromParts(2026, 3, 15, 10, 30, 0); }

std::string engineName(Engine engine) { return engine == Engine::SQLite ? "SQLite" : "PostgreSQL"; }

std::string postgresUrl(const std::string& database) {
    std::string url;
    if (const char* direct = getenv("KRV_TEST_POSTGRES_URL")) {
        url = direct;
    } else if (const char* state = getenv("KRV_TEST_POSTGRES_STATE")) {
        std::ifstream(std::filesystem::path(state) / "url") >> url;
    }
    if (url.empty())
        throw std::runtime_error(
            "No PostgreSQL for the tests: run them through ctest, which starts one, or start one with "
            "scripts/pg-cluster start DIR and set KRV_TEST_POSTGRES_STATE=DIR");
    return url.substr(0, url.rfind('/') + 1) + database;
}

std::string postgresPort() {
    const std::string url = postgresUrl();
    const size_t colon = url.rfind(':');
    return url.substr(colon + 1, url.rfind('/') - colon - 1);
}

namespace {

// The cluster's maintenance database, where databases are created and dropped.
db::Connection& cluster() {
    static const std::unique_ptr<db::Database> maintenance = db::openDatabase(postgresUrl());
    return maintenance->connection();
}

// The seeded company, built once per cluster by whichever test process needs it first;
// the others wait on the lock and then find it there.
const char* const kSeededTemplate = "krv_seeded";

void ensureSeededTemplate() {
    static bool ready = false;
    if (ready) return;
    db::Connection& c = cluster();
    c.execute("SELECT pg_advisory_lock(1)");
    try {
        if (c.integer("SELECT count(*) FROM pg_database WHERE datname = ?", {kSeededTemplate}) == 0) {
            const std::string building = std::string(kSeededTemplate) + "_building";
            c.script("DROP DATABASE IF EXISTS " + building + " WITH (FORCE)");
            c.script("CREATE DATABASE " + building);
            Application(ApplicationOptions{postgresUrl(building), true, fixedNow, HashCost::Minimal});
            c.script("ALTER DATABASE " + building + " RENAME TO " + kSeededTemplate);
        }
    } catch (...) {
        c.execute("SELECT pg_advisory_unlock(1)");
        throw;
    }
    c.execute("SELECT pg_advisory_unlock(1)");
    ready = true;
}

}  // namespace

TestDatabase::TestDatabase(Engine engine, bool seeded) : engine_(engine) {
    if (engine == Engine::SQLite) {
        target_ = dir_.file("krv.db");
        return;
    }
    static std::atomic<int> made{0};
    name_ = "krv_test_" + std::to_string(getpid()) + "_" + std::to_string(++made);
    if (seeded) ensureSeededTemplate();
    cluster().script("CREATE DATABASE " + name_ + (seeded ? std::string(" TEMPLATE ") + kSeededTemplate : ""));
    target_ = postgresUrl(name_);
}

TestDatabase::~TestDatabase() {
    if (name_.empty()) return;
    try {
        cluster().script("DROP DATABASE IF EXISTS " + name_ + " WITH (FORCE)");
    } catch (const std::exception& e) {
        ADD_FAILURE() << "could not drop " << name_ << ": " << e.what();
    }
}

TestServer::TestServer(Engine engine, bool seeded)
    : database(engine, seeded),
      app(std::make_unique<Application>(ApplicationOptions{database.target(), seeded, fixedNow, HashCost::Minimal})) {
    addOperator(kTestOperator, kTestPassword);
}

void TestServer::addOperator(const std::string& name, const std::string& password) const {
    OperatorStore(sql()).save(name, hashPassword(password, HashCost::Minimal), false, fixedNow());
}

rpc::ServerOptions TestServer::transportOptions(LoginThrottle::Settings throttle) {
    if (!login_)
        login_ = std::make_unique<OperatorLogin>(app->database(), HashCost::Minimal, OperatorLogin::Settings{throttle},
                                                 nullptr);
    rpc::ServerOptions options;
    options.login = login_->function();
    return options;
}

rpc::Endpoint TestServer::endpoint(uint16_t port, const std::string& operatorName, const std::string& password) {
    rpc::Endpoint endpoint;
    endpoint.port = port;
    endpoint.operatorName = operatorName;
    endpoint.password = password;
    return endpoint;
}

rpc::Outcome TestServer::dispatch(const std::string& object, const std::string& method,
                                  std::vector<Variant> args) const {
    return dispatchAs(caller, object, method, std::move(args));
}

rpc::Outcome TestServer::dispatchAs(const rpc::Caller& session, const std::string& object, const std::string& method,
                                    std::vector<Variant> args) const {
    return app->dispatcher().dispatch(session, object, method, std::move(args));
}

Variant TestServer::call(const std::string& object, const std::string& method, std::vector<Variant>& args) const {
    rpc::Outcome outcome = dispatch(object, method, args);
    args = outcome.args;
    if (!outcome.ok) ADD_FAILURE() << method << " refused: " << outcome.result.asString();
    const auto& result = outcome.result;
    if (result.type() != Variant::Type::Array || result.array().size() != 2 || !result.array()[0].asBool()) {
        ADD_FAILURE() << method << " failed: "
                      << (result.type() == Variant::Type::Array && result.array().size() == 2
                              ? result.array()[1].asString()
                              : result.asString());
        return {};
    }
    return result.array()[1];
}

std::string TestServer::failure(const std::string& object, const std::string& method, std::vector<Variant> args) const {
    const rpc::Outcome outcome = dispatch(object, method, std::move(args));
    const auto& result = outcome.result;
    const bool isFailure = outcome.ok && result.type() == Variant::Type::Array && result.array().size() == 2 &&
                           result.array()[0] == Variant(false);
    if (!isFailure) {
        ADD_FAILURE() << method << " did not fail as a method: ok=" << outcome.ok;
        return {};
    }
    return result.array()[1].asString();
}

int64_t TestServer::count(const std::string& sqlCountQuery) const {
    const auto value = sql().integer(sqlCountQuery);
    if (!value) throw std::runtime_error("no row: " + sqlCountQuery);
    return *value;
}

std::string contentOf(db::Connection& connection, const std::vector<std::string>& tables) {
    std::string all;
    for (const std::string& table : tables) {
        // Sorted here on the whole row: rows equal in their first columns would come in
        // whatever order the engine stored them.
        std::vector<std::string> rows;
        connection.each("SELECT * FROM " + table, {}, [&](const db::ResultRow& row) {
            std::string line;
            for (int i = 0; i < row.size(); ++i) line += (row.isNull(i) ? "null" : row.text(i)) + "|";
            rows.push_back(line + "\n");
        });
        std::sort(rows.begin(), rows.end());
        for (const std::string& row : rows) all += row;
        all += "--\n";
    }
    return all;
}

std::string firstDifference(const std::string& actual, const std::string& expected) {
    if (actual == expected) return {};
    const size_t at =
        std::mismatch(actual.begin(), actual.begin() + long(std::min(actual.size(), expected.size())), expected.begin())
            .first -
        actual.begin();
    const size_t start = actual.rfind('\n', at == 0 ? 0 : at - 1);
    const size_t from = start == std::string::npos ? 0 : start + 1;
    const auto lineAt = [from](const std::string& text) { return text.substr(from, text.find('\n', from) - from); };
    return "line " + std::to_string(std::count(actual.begin(), actual.begin() + long(from), '\n') + 1) + ": \"" +
           lineAt(actual) + "\" instead of \"" + lineAt(expected) + "\"";
}

std::vector<std::string> columnOf(const DataPacket& packet, const std::string& field) {
    std::vector<std::string> values;
    for (const Row& row : packet.rows) values.push_back(row.at(size_t(packet.fieldIndex(field))).asString());
    return values;
}

const std::vector<std::string>& allTables() {
    static const std::vector<std::string> tables{"branch",
                                                 "service",
                                                 "shift",
                                                 "product_group",
                                                 "product_grouping",
                                                 "product",
                                                 "dish_type",
                                                 "dish",
                                                 "recipe",
                                                 "menu",
                                                 "diners_forecast",
                                                 "fixed_consumption",
                                                 "percapita_consumption",
                                                 "parameters",
                                                 "code_picture",
                                                 "purchase_order",
                                                 "purchase_order_item",
                                                 "requisition",
                                                 "requisition_item",
                                                 "consumption_forecast",
                                                 "server_list",
                                                 "requisition_list_item",
                                                 "service_list_item",
                                                 "shift_list_item",
                                                 "calculation_list_item",
                                                 "order_counter",
                                                 "purchase_order_cancellation",
                                                 "order_preview",
                                                 "order_preview_item",
                                                 "purchase_order_shipment",
                                                 "stock_count"};
    return tables;
}

std::string numberIn(const Variant& payload) {
    if (payload.type() != Variant::Type::Array || payload.array().empty()) return "(no number)";
    EXPECT_TRUE(payload.array()[0].isString()) << "list numbers travel as texts";
    return payload.array()[0].asString();
}

std::vector<std::string> listRows(db::Connection& connection, int64_t number) {
    std::vector<std::string> rows;
    for (const char* sql : {"SELECT cdfilial || cdservfili FROM service_list_item WHERE nrlista = ?"
                            " ORDER BY cdfilial, cdservfili",
                            "SELECT cdfilial || cdservfili || cdturno FROM shift_list_item WHERE nrlista = ?"
                            " ORDER BY cdfilial, cdservfili, cdturno",
                            "SELECT CAST(nrrequipedido AS TEXT) AS listed FROM calculation_list_item WHERE nrlista = ?"
                            " ORDER BY nrrequipedido",
                            "SELECT CAST(nrrequipedido AS TEXT) AS listed FROM requisition_list_item WHERE nrlista = ?"
                            " ORDER BY nrrequipedido"})
        connection.each(sql, {number}, [&](const db::ResultRow& row) { rows.push_back(row.text(0)); });
    return rows;
}

}  // namespace krv::server::test
