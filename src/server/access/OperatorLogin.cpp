#include "server/access/OperatorLogin.h"

#include "rpc/Server.h"

#include <algorithm>
#include <stdexcept>

#include "server/checks/Arguments.h"
#include "server/model/Clock.h"

namespace krv::server {

namespace {

// One core is left to the calls of the sessions already in: a burst of logins, even right
// ones, then slows other logins rather than every screen.
unsigned checkThreadsFor(unsigned configured) {
    return configured ? configured : std::clamp(std::thread::hardware_concurrency(), 2u, 3u) - 1;
}

}  // namespace

OperatorLogin::OperatorLogin(db::Database& database, HashCost cost, Settings settings, Log log)
    : database_(database),
      unknownOperatorHash_(hashPassword("-", cost)),
      log_(log),
      throttle_(settings.throttle, std::move(log)),
      reporter_([this] { reportBursts(); }),
      queue_(std::make_unique<LoginQueue>(
          checkThreadsFor(settings.checkThreads), settings.queue,
          [this](const std::string& name, const std::string& address, LoginThrottle::Clock::time_point now) {
              return throttle_.nextCheck(name, address, now);
          },
          [this](const rpc::LoginRequest& request) { return check(request); })) {}

OperatorLogin::~OperatorLogin() {
    queue_.reset();
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    reporter_.join();
    throttle_.reportAll();
}

rpc::LoginAnswer OperatorLogin::check(const rpc::LoginRequest& request) {
    if (matches(request)) {
        throttle_.accepted(request.operatorName);
        {
            std::lock_guard lock(mutex_);
            logins_[request.operatorName] = localNow();
        }
        wake_.notify_all();
        return {true};
    }
    throttle_.refused(request.operatorName, request.address, LoginThrottle::Clock::now());
    // A new burst may end before the one the reporter waits for. Taking the lock first means
    // the reporter is either waiting, and wakes, or has yet to look at the bursts.
    { std::lock_guard lock(mutex_); }
    wake_.notify_all();
    return {false};
}

rpc::LoginCheck OperatorLogin::function() {
    return [this](rpc::LoginRequest request, rpc::LoginReply reply) {
        queue_->submit(std::move(request), std::move(reply));
    };
}

bool OperatorLogin::matches(const rpc::LoginRequest& request) {
    // A name that breaks the column's rule cannot exist; no need to ask the database.
    const bool possible = isCode(request.operatorName, kOperatorNameSize) && !request.password.empty();
    const auto stored = possible ? OperatorStore(database_.connection()).password(request.operatorName) : std::nullopt;
    const bool verified = passwordMatches(stored ? stored->hash : unknownOperatorHash_, request.password);
    // A deactivated operator is told no more than a wrong password would be.
    if (!stored || !verified || !stored->active) return false;
    // Checked at every login, not only when the server starts: the demo password may have been
    // set again since, while the server listens on the network.
    if (stored->demo && !rpc::isLoopback(request.address)) {
        if (log_)
            log_("Login de " + request.operatorName + " recusado de " + request.address +
                 ": a senha de demonstração só vale nesta máquina (loopback); troque-a com --cria-operador");
        return false;
    }
    return true;
}

void OperatorLogin::reportBursts() {
    std::unique_lock lock(mutex_);
    while (!stopping_) {
        const auto next = throttle_.nextReport();
        if (!logins_.empty())
            ;  // noted while the last ones were written: no wait
        else if (next)
            wake_.wait_until(lock, *next);
        else
            wake_.wait(lock);
        throttle_.reportEnded(LoginThrottle::Clock::now());
        recordLogins(lock);
    }
    recordLogins(lock);
}

void OperatorLogin::recordLogins(std::unique_lock<std::mutex>& lock) {
    if (logins_.empty()) return;
    const std::map<std::string, DateTime> logins = std::exchange(logins_, {});
    lock.unlock();
    for (const auto& [name, when] : logins) {
        try {
            OperatorStore(database_.connection()).recordLogin(name, when);
        } catch (const std::exception& e) {
            // A note for --lista-operadores: the login stands without it.
            if (log_) log_("Último login de " + name + " não registrado: " + e.what());
        }
    }
    lock.lock();
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
