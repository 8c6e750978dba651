#pragma once
#include <condition_variable>
#include <ctime>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "rpc/Server.h"

namespace krv::server {

// What a running server tells about itself to `krv-server --estado` and to systemd.
struct ServerState {
    long pid = 0;
    std::time_t started = 0;
    std::time_t updated = 0;
    std::string address;  // HOST:PORTA it listens on
    rpc::ConnectionCount connections;
};

// Where a server on `database` keeps its state unless told: beside an SQLite file; empty
// for PostgreSQL, whose servers may be many.
std::string defaultStateFile(const std::string& database);

// Written whole under another name and renamed, so a reader never sees half of it.
void writeStateFile(const std::string& path, const ServerState& state);
std::optional<ServerState> readStateFile(const std::string& path);

// The state is of a server still running: its process is there and it wrote not long ago.
bool isCurrent(const ServerState& state, std::time_t now);

// One line for systemd's status: address, connections, time up.
std::string summaryLine(const ServerState& state, std::time_t now);

// "2 d 3 h 4 min" (the largest units only).
std::string durationText(std::time_t seconds);

// Renews the state every few seconds while the server runs: into the state file (when there
// is one) and into systemd's STATUS=.
class StateReporter {
public:
    StateReporter(std::string path, ServerState state, std::function<rpc::ConnectionCount()> count);
    ~StateReporter();
    StateReporter(const StateReporter&) = delete;
    StateReporter& operator=(const StateReporter&) = delete;

private:
    void report();

    std::string path_;
    ServerState state_;
    std::function<rpc::ConnectionCount()> count_;
    std::mutex mutex_;
    std::condition_variable stop_;
    bool stopping_ = false;
    std::thread thread_;
};

}  // namespace krv::server
