#pragma once
#include <filesystem>
#include <string>

namespace krv::support {

// A folder of its own under the system temp folder, removed with everything in it. No Qt:
// the server tests and the benchmarks use it too.
class TempDir {
public:
    explicit TempDir(const std::string& prefix = "krv-test");
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::string file(const std::string& name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

}  // namespace krv::support
