#pragma once
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

#include "rpc/Login.h"
#include "server/access/LoginThrottle.h"
#include "server/storage/Database.h"
#include "server/stores/OperatorStore.h"

namespace krv::server {

// The login of krv-server's connections: an operator of the operator table with its
// password, refusals slowed down per address and logged once per burst.
class OperatorLogin {
public:
    // `cost` is the one the stored hashes were made with: an unknown operator is checked
    // against a hash of that cost, so a refusal takes as long whether the name exists or not.
    OperatorLogin(db::Database& database, HashCost cost, LoginThrottle::Settings settings, LoginThrottle::Log log);
    ~OperatorLogin();
    OperatorLogin(const OperatorLogin&) = delete;
    OperatorLogin& operator=(const OperatorLogin&) = delete;

    rpc::LoginAnswer check(const rpc::LoginRequest& request);
    // For rpc::ServerOptions::login; this object must outlive the server.
    rpc::LoginCheck function();

private:
    bool matches(const std::string& name, const std::string& password);
    void reportBursts();  // the reporter thread: logs each burst when its time is over

    db::Database& database_;
    const std::string unknownOperatorHash_;
    LoginThrottle throttle_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool stopping_ = false;
    std::thread reporter_;
};

// Refuses (std::runtime_error with the text to show) to listen on `host` when it is not a
// loopback address while any operator still has the demo password: anyone on the network
// could log in with the password the README shows.
void refuseDemoPasswordOffLoopback(db::Connection& connection, const std::string& host);

}  // namespace krv::server
