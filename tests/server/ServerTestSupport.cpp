#include "ServerTestSupport.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <stdexcept>

namespace krv::server::test {

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "krv-server-test-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

DateTime fixedNow() { return DateTime::fromParts(2026, 3, 15, 10, 30, 0); }

TestServer::TestServer(bool seeded)
    : app(std::make_unique<Application>(ApplicationOptions{dir.file("krv.db"), seeded, fixedNow})) {}

rpc::Outcome TestServer::dispatch(const std::string& object, const std::string& method,
                                  std::vector<Variant> args) const {
    return app->dispatcher().dispatch(object, method, std::move(args));
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
    SQLite::Statement query(app->storage().connection().database(), sqlCountQuery);
    if (!query.executeStep()) throw std::runtime_error("no row: " + sqlCountQuery);
    return query.getColumn(0).getInt64();
}

int TestServer::totalChanges() const { return app->storage().connection().database().getTotalChanges(); }

}  // namespace krv::server::test
