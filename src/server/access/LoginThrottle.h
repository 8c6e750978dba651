#pragma once
#include <chrono>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>

namespace krv::server {

// Slows down password guessing: each refused login from an address waits longer than the
// one before it, and the refusals from an address are logged once per burst instead of
// once each. Time comes from the caller, so the rules can be checked without waiting.
// Thread-safe.
class LoginThrottle {
public:
    using Clock = std::chrono::steady_clock;
    using Log = std::function<void(const std::string&)>;

    struct Settings {
        std::chrono::milliseconds firstDelay{250};  // after the first refusal; doubles with each next one
        std::chrono::milliseconds maxDelay{8000};
        std::chrono::seconds burst{60};    // a burst's refusals are summed over this long, then logged
        std::chrono::seconds forget{900};  // refusals this far apart start counting afresh
    };

    LoginThrottle(Settings settings, Log log) : settings_(settings), log_(std::move(log)) {}

    // Counts a refused login from `address` and answers how long its refusal waits.
    std::chrono::milliseconds refused(const std::string& address, Clock::time_point now);
    // A login from `address` went through: its next refusal waits the first delay again.
    void accepted(const std::string& address);
    // Logs the bursts whose time is over and forgets addresses quiet for long enough.
    void reportEnded(Clock::time_point now);
    // When reportEnded next has something to do; nullopt when nothing is pending.
    std::optional<Clock::time_point> nextReport() const;
    // Logs every burst still open, however short: the server is stopping.
    void reportAll();

private:
    struct Address {
        int failures = 0;  // in a row, since the last success or the last long quiet
        Clock::time_point lastFailure;
        int burstFailures = 0;
        std::optional<Clock::time_point> burstStart;
    };

    void logBurst(const std::string& address, Address& record);

    const Settings settings_;
    const Log log_;
    mutable std::mutex mutex_;
    std::map<std::string, Address> addresses_;
};

}  // namespace krv::server
