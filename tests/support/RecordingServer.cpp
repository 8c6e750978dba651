#include "support/RecordingServer.h"

#include <stdexcept>

namespace krv::test {

RecordingServer::RecordingServer() = default;

RecordingServer::~RecordingServer() { stop(); }

void RecordingServer::on(const std::string& object, const std::string& method, int argCount, rpc::Method handler) {
    const std::string key = object + "." + method;
    std::lock_guard lock(mutex_);
    const bool known = handlers_.count(key) > 0;
    if (!known && server_) throw std::logic_error("RecordingServer: declare " + key + " before start()");
    handlers_[key] = std::move(handler);
    if (known) return;
    dispatcher_.add(
        object, method, std::vector<rpc::ArgType>(size_t(argCount), rpc::ArgType::Any),
        [this, key, object, method](std::vector<Variant>& args) { return invoke(key, object, method, args); });
}

Variant RecordingServer::invoke(const std::string& key, const std::string& object, const std::string& method,
                                std::vector<Variant>& args) {
    rpc::Method handler;
    {
        std::lock_guard lock(mutex_);
        calls_.push_back({object, method, args});
        handler = handlers_.at(key);
    }
    return handler(args);
}

void RecordingServer::start(const std::string& token) {
    if (server_) return;
    token_ = token;
    rpc::ServerOptions options;
    options.port = port_;
    options.token = token_;
    options.threads = 1;
    auto server = std::make_unique<rpc::Server>(dispatcher_, options);
    server->start();
    port_ = server->port();
    std::lock_guard lock(mutex_);
    server_ = std::move(server);
}

void RecordingServer::stop() {
    std::unique_ptr<rpc::Server> server;
    {
        std::lock_guard lock(mutex_);
        server = std::move(server_);
    }
    if (server) server->stop();
}

void RecordingServer::restart() {
    stop();
    start(token_);
}

std::vector<RecordingServer::Call> RecordingServer::calls() const {
    std::lock_guard lock(mutex_);
    return calls_;
}

std::vector<std::string> RecordingServer::methods() const {
    std::lock_guard lock(mutex_);
    std::vector<std::string> names;
    for (const Call& call : calls_) names.push_back(call.method);
    return names;
}

void RecordingServer::clearCalls() {
    std::lock_guard lock(mutex_);
    calls_.clear();
}

}  // namespace krv::test
