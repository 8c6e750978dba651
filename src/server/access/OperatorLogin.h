#pragma once
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "rpc/Login.h"
#include "server/access/LoginQueue.h"
#include "server/access/LoginThrottle.h"
#include "server/storage/Database.h"
#include "server/stores/OperatorStore.h"

namespace krv::server {

// The login of krv-server's connections: an operator of the operator table with its
// password, checked on a queue of its own, refusals slowed down per name and per address
// and logged once per burst.
class OperatorLogin {
public:
    struct Settings {
        LoginThrottle::Settings throttle;
        LoginSchedule::Limits queue;
        // Threads that check passwords; each check holds the hash's memory (64 MiB for a real
        // password) while it runs. 0: one less than the cores, at least one and at most two.
        unsigned checkThreads = 0;
    };
    using Log = LoginThrottle::Log;

    // `cost` is the one the stored hashes were made with: an unknown operator is checked
    // against a hash of that cost, so a refusal takes as long whether the name exists or not.
    OperatorLogin(db::Database& database, HashCost cost, Settings settings, Log log);
    ~OperatorLogin();
    OperatorLogin(const OperatorLogin&) = delete;
    OperatorLogin& operator=(const OperatorLogin&) = delete;

    // The verdict, at once: the queue calls this on its own threads.
    rpc::LoginAnswer check(const rpc::LoginRequest& request);
    // For rpc::ServerOptions::login; this object must outlive the server.
    rpc::LoginCheck function();

private:
    bool matches(const rpc::LoginRequest& request);
    void reportBursts();  // the reporter thread: logs each burst when its time is over
    // Writes the last logins noted since, on the reporter thread: a write waits for the
    // database, which a login in the queue must not.
    void recordLogins(std::unique_lock<std::mutex>& lock);

    db::Database& database_;
    const std::string unknownOperatorHash_;
    const Log log_;
    LoginThrottle throttle_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool stopping_ = false;
    std::map<std::string, DateTime> logins_;  // accepted since the last recordLogins()
    std::thread reporter_;
    // Last: its threads call check(), so it stops before anything check() uses goes.
    std::unique_ptr<LoginQueue> queue_;
};

// Refuses (std::runtime_error with the text to show) to listen on `host` when it is not a
// loopback address while any operator still has the demo password: anyone on the network
// could log in with the password the README shows.
void refuseDemoPasswordOffLoopback(db::Connection& connection, const std::string& host);

}  // namespace krv::server
