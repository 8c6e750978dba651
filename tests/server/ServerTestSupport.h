#pragma once
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "core/Variant.h"
#include "rpc/Dispatcher.h"
#include "server/Application.h"

namespace krv::server::test {

// A directory of its own under the system temp folder, removed with everything in it.
class TempDir {
public:
    TempDir();
    ~TempDir();
    std::string file(const std::string& name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

// 15/03/2026 10:30, a Sunday: the seed date of every seeded test database.
DateTime fixedNow();
inline DateTime seedDate() { return fixedNow().date(); }

// A fresh database under a temp dir, opened through the Application like the program does.
struct TestServer {
    explicit TestServer(bool seeded = true);
    TempDir dir;
    std::unique_ptr<Application> app;

    // Calls through the dispatcher and expects the method's own success; returns the payload.
    Variant call(const std::string& object, const std::string& method, std::vector<Variant>& args) const;
    // Expects the method's own failure ([false, message]) and returns the message.
    std::string failure(const std::string& object, const std::string& method, std::vector<Variant> args) const;
    rpc::Outcome dispatch(const std::string& object, const std::string& method, std::vector<Variant> args) const;

    int64_t count(const std::string& sqlCountQuery) const;  // first column of a one-row query
    int totalChanges() const;                               // rows written by this thread's connection
};

}  // namespace krv::server::test
