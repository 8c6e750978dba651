#pragma once
#include <chrono>
#include <filesystem>
#include <memory>
#include <string>

namespace krv::support {

// A certificate authority made at run time for one test, and the server certificates it
// signs, all as PEM files in a folder the test owns. No Qt: the rpc and server tests use it.
class TestCa {
public:
    struct Issued {
        std::string certFile;
        std::string keyFile;
    };

    TestCa(std::filesystem::path folder, const std::string& name);
    ~TestCa();
    TestCa(const TestCa&) = delete;
    TestCa& operator=(const TestCa&) = delete;

    const std::string& certFile() const { return certFile_; }

    // A certificate for `altNames` (subjectAltName entries: "IP:127.0.0.1,DNS:localhost"),
    // valid from now + notBefore to now + notAfter.
    Issued issue(const std::string& name, const std::string& altNames,
                 std::chrono::seconds notBefore = std::chrono::hours(-1),
                 std::chrono::seconds notAfter = std::chrono::hours(24)) const;

private:
    struct Keys;
    std::filesystem::path folder_;
    std::string certFile_;
    std::unique_ptr<Keys> keys_;
};

}  // namespace krv::support
