#include "server/service/ServerState.h"

#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <map>

#include "core/PrivateFile.h"
#include "server/service/ServiceNotify.h"
#include "server/storage/Database.h"

namespace krv::server {

namespace {
constexpr auto kInterval = std::chrono::seconds(5);
// A state not renewed for this long is of a server that stopped without removing it.
constexpr std::time_t kStaleSeconds = 30;
}  // namespace

std::string defaultStateFile(const std::string& database) {
    return db::isPostgresUrl(database) ? std::string() : database + ".estado";
}

void writeStateFile(const std::string& path, const ServerState& state) {
    const std::string partial = path + ".novo";
    std::remove(partial.c_str());
    createPrivateFile(partial);
    {
        std::ofstream out(partial, std::ios::trunc);
        out << "pid=" << state.pid << "\ninicio=" << state.started << "\natualizado=" << state.updated
            << "\nendereco=" << state.address << "\nconexoes=" << state.connections.open
            << "\ncom-login=" << state.connections.loggedIn << "\n";
        if (!out.flush()) return;  // the state is a courtesy: a full disk must not stop the server
    }
    std::rename(partial.c_str(), path.c_str());
}

std::optional<ServerState> readStateFile(const std::string& path) {
    std::ifstream in(path);
    std::map<std::string, std::string> values;
    for (std::string line; std::getline(in, line);)
        if (const size_t equals = line.find('='); equals != std::string::npos)
            values[line.substr(0, equals)] = line.substr(equals + 1);
    try {
        ServerState state;
        state.pid = std::stol(values.at("pid"));
        state.started = std::stoll(values.at("inicio"));
        state.updated = std::stoll(values.at("atualizado"));
        state.address = values.at("endereco");
        state.connections.open = std::stoull(values.at("conexoes"));
        state.connections.loggedIn = std::stoull(values.at("com-login"));
        return state;
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

bool isCurrent(const ServerState& state, std::time_t now) {
    const bool alive = state.pid > 0 && (kill(pid_t(state.pid), 0) == 0 || errno == EPERM);
    return alive && now - state.updated <= kStaleSeconds;
}

std::string durationText(std::time_t seconds) {
    const std::time_t days = seconds / 86400, hours = seconds % 86400 / 3600, minutes = seconds % 3600 / 60;
    if (days) return std::to_string(days) + " d " + std::to_string(hours) + " h";
    if (hours) return std::to_string(hours) + " h " + std::to_string(minutes) + " min";
    if (minutes) return std::to_string(minutes) + " min";
    return std::to_string(seconds) + " s";
}

std::string summaryLine(const ServerState& state, std::time_t now) {
    const size_t anonymous = state.connections.open - state.connections.loggedIn;
    return "escutando em " + state.address + "; " + std::to_string(state.connections.open) + " conexões (" +
           std::to_string(state.connections.loggedIn) + " com login, " + std::to_string(anonymous) +
           " anônimas); no ar há " + durationText(now - state.started);
}

StateReporter::StateReporter(std::string path, ServerState state, std::function<rpc::ConnectionCount()> count)
    : path_(std::move(path)), state_(std::move(state)), count_(std::move(count)) {
    report();
    thread_ = std::thread([this] {
        std::unique_lock lock(mutex_);
        while (!stop_.wait_for(lock, kInterval, [this] { return stopping_; })) report();
    });
}

StateReporter::~StateReporter() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    stop_.notify_all();
    thread_.join();
    if (!path_.empty()) std::remove(path_.c_str());
}

void StateReporter::report() {
    state_.updated = std::time(nullptr);
    state_.connections = count_();
    if (!path_.empty()) writeStateFile(path_, state_);
    notifyStatus(summaryLine(state_, state_.updated));
}

}  // namespace krv::server
