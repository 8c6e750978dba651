#pragma once
#include <chrono>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>

namespace krv::server {

// Slows down password guessing. Refused checks are counted per operator name and per
// address; after each, the next check of that name, and the next from that address, waits
// twice as long as the one before. The wait holds whatever the number of connections or
// addresses trying: guesses sent in parallel queue behind one another instead of being
// checked at once. Refusals from an address are logged once per burst. Time comes from the
// caller, so the rules can be checked without waiting. Thread-safe.
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

    // When a check of `name` from `address` may run: at `now` or before when nothing holds it back.
    Clock::time_point nextCheck(const std::string& name, const std::string& address, Clock::time_point now) const;
    // Counts a refused check.
    void refused(const std::string& name, const std::string& address, Clock::time_point now);
    // `name` logged in: its own count starts afresh. The address keeps its count, so a guesser
    // cannot clear it by logging in as an operator of its own.
    void accepted(const std::string& name);
    // Logs the bursts whose time is over and forgets names and addresses quiet for long enough.
    void reportEnded(Clock::time_point now);
    // When reportEnded next has something to do; nullopt when nothing is pending.
    std::optional<Clock::time_point> nextReport() const;
    // Logs every burst still open, however short: the server is stopping.
    void reportAll();

private:
    struct Failures {
        int count = 0;  // in a row, since the last success or the last long quiet
        Clock::time_point last;
        int burstCount = 0;  // addresses only
        std::optional<Clock::time_point> burstStart;
    };

    Clock::time_point allowedAfter(const Failures& failures, Clock::time_point now) const;
    void count(Failures& failures, Clock::time_point now) const;
    void logBurst(const std::string& address, Failures& record);

    const Settings settings_;
    const Log log_;
    mutable std::mutex mutex_;
    std::map<std::string, Failures> names_;
    std::map<std::string, Failures> addresses_;
};

}  // namespace krv::server
