#pragma once
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "rpc/Login.h"

namespace krv::server {

// The logins waiting for their password check, and the order they get it in. Each address
// has one check at a time and the addresses take turns, so a flood from one address delays
// another's login by at most one check; a check waits until the throttle lets its name and
// address be tried again; a login whose connection has gone is dropped unchecked. Time is
// handed in, so the order can be checked without waiting. Not thread-safe.
class LoginSchedule {
public:
    using Clock = std::chrono::steady_clock;
    // When a check of (name, address) may run, `now` or earlier meaning at once.
    using NextCheck =
        std::function<Clock::time_point(const std::string& name, const std::string& address, Clock::time_point now)>;
    struct Limits {
        size_t perAddress = 32;  // waiting, beside the one being checked: as many as an address may have connections logging in
        size_t total = 1024;
    };
    struct Pending {
        rpc::LoginRequest request;
        rpc::LoginReply reply;
    };

    LoginSchedule(Limits limits, NextCheck nextCheck) : limits_(limits), nextCheck_(std::move(nextCheck)) {}

    // False, keeping nothing, when its address's queue or the whole queue is full.
    bool add(Pending pending);
    // The login to check now, if any, marking its address busy until finished().
    std::optional<Pending> take(Clock::time_point now);
    void finished(const std::string& address);
    // When take() may next have one for a waiting login; nullopt when every waiting one waits
    // for a check still running (finished() will tell), or nothing waits.
    std::optional<Clock::time_point> nextDue(Clock::time_point now) const;
    size_t waiting() const { return waiting_; }

private:
    struct Address {
        std::deque<Pending> queue;
        bool checking = false;
    };

    void dropAbandoned(Address& address);

    const Limits limits_;
    const NextCheck nextCheck_;
    std::map<std::string, Address> addresses_;
    std::deque<std::string> turn_;  // addresses with logins waiting, next first
    size_t waiting_ = 0;
};

// A few threads of their own run the checks of a LoginSchedule: password hashes are slow
// and take much memory each, so how many run at once, and so the memory they hold, is this
// pool's size, whatever the number of clients.
class LoginQueue {
public:
    using Check = std::function<rpc::LoginAnswer(const rpc::LoginRequest&)>;

    LoginQueue(unsigned threads, LoginSchedule::Limits limits, LoginSchedule::NextCheck nextCheck, Check check);
    ~LoginQueue();  // logins still waiting are never answered: their server has stopped
    LoginQueue(const LoginQueue&) = delete;
    LoginQueue& operator=(const LoginQueue&) = delete;

    // Refused at once, costing no check, when the queue has no room for it.
    void submit(rpc::LoginRequest request, rpc::LoginReply reply);

private:
    void run();

    const Check check_;
    std::mutex mutex_;
    std::condition_variable changed_;
    LoginSchedule schedule_;
    bool stopping_ = false;
    std::vector<std::thread> threads_;
};

}  // namespace krv::server
