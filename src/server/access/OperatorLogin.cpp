#include "server/access/OperatorLogin.h"

#include "rpc/Server.h"

#include <asio/ip/address.hpp>
#include <stdexcept>

#include "server/checks/Arguments.h"

namespace krv::server {

OperatorLogin::OperatorLogin(db::Database& database, HashCost cost, LoginThrottle::Settings settings,
                             LoginThrottle::Log log)
    : database_(database),
      unknownOperatorHash_(hashPassword("-", cost)),
      throttle_(settings, std::move(log)),
      reporter_([this] { reportBursts(); }) {}

OperatorLogin::~OperatorLogin() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    reporter_.join();
    throttle_.reportAll();
}

rpc::LoginAnswer OperatorLogin::check(const rpc::LoginRequest& request) {
    if (matches(request.operatorName, request.password)) {
        throttle_.accepted(request.address);
        return {true, {}};
    }
    const auto delay = throttle_.refused(request.address, LoginThrottle::Clock::now());
    // A new burst may end before the one the reporter waits for. Taking the lock first means
    // the reporter is either waiting, and wakes, or has yet to look at the bursts.
    { std::lock_guard lock(mutex_); }
    wake_.notify_all();
    return {false, delay};
}

rpc::LoginCheck OperatorLogin::function() {
    return [this](const rpc::LoginRequest& request) { return check(request); };
}

bool OperatorLogin::matches(const std::string& name, const std::string& password) {
    // A name that breaks the column's rule cannot exist; no need to ask the database.
    const bool possible = isCode(name, kOperatorNameSize) && !password.empty();
    const auto stored = possible ? OperatorStore(database_.connection()).passwordHash(name) : std::nullopt;
    const bool verified = passwordMatches(stored.value_or(unknownOperatorHash_), password);
    return stored && verified;
}

void OperatorLogin::reportBursts() {
    std::unique_lock lock(mutex_);
    while (!stopping_) {
        const auto next = throttle_.nextReport();
        if (next)
            wake_.wait_until(lock, *next);
        else
            wake_.wait(lock);
        throttle_.reportEnded(LoginThrottle::Clock::now());
    }
}

void refuseDemoPasswordOffLoopback(db::Connection& connection, const std::string& host) {
    if (rpc::isLoopback(host)) return;
    const std::vector<std::string> names = OperatorStore(connection).withDemoPassword();
    if (names.empty()) return;
    std::string list;
    for (const std::string& name : names) list += (list.empty() ? "" : ", ") + name;
    throw std::runtime_error("O servidor não escuta em " + host + " enquanto algum operador tiver a senha de " +
                             "demonstração (" + list + "): troque-a antes com krv-server --db BANCO --cria-operador " +
                             names.front() + ".");
}

}  // namespace krv::server
