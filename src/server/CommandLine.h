#pragma once
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace krv::server {

// What krv-server was asked to do.
struct ServerCommand {
    std::string database;  // an SQLite path or a postgresql:// URL
    std::string host = "127.0.0.1";
    uint16_t port = 0;  // 0: any free port
    bool seedDemo = false;
    std::string tokenFile;
    unsigned threads = 4;
    bool help = false;
};

// A command line that cannot be obeyed; the program prints it with the usage and exits 64.
struct UsageError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Parses the arguments after the program name; "--name value" and "--name=value" both work.
ServerCommand parseCommandLine(const std::vector<std::string>& args);
const char* usageText();

}  // namespace krv::server
