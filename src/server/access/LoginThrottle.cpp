#include "server/access/LoginThrottle.h"

#include <algorithm>

namespace krv::server {

std::chrono::milliseconds LoginThrottle::refused(const std::string& address, Clock::time_point now) {
    std::lock_guard lock(mutex_);
    Address& record = addresses_[address];
    if (record.failures > 0 && now - record.lastFailure >= settings_.forget) record.failures = 0;
    ++record.failures;
    record.lastFailure = now;
    if (!record.burstStart) record.burstStart = now;
    ++record.burstFailures;
    // Doubling from the first delay; past the maximum there is nothing left to double.
    auto delay = settings_.firstDelay;
    for (int i = 1; i < record.failures && delay < settings_.maxDelay; ++i) delay *= 2;
    return std::min(delay, settings_.maxDelay);
}

void LoginThrottle::accepted(const std::string& address) {
    std::lock_guard lock(mutex_);
    const auto found = addresses_.find(address);
    if (found == addresses_.end()) return;
    found->second.failures = 0;
    if (!found->second.burstStart) addresses_.erase(found);
}

void LoginThrottle::reportEnded(Clock::time_point now) {
    std::lock_guard lock(mutex_);
    for (auto it = addresses_.begin(); it != addresses_.end();) {
        Address& record = it->second;
        if (record.burstStart && now - *record.burstStart >= settings_.burst) logBurst(it->first, record);
        const bool quiet = record.failures == 0 || now - record.lastFailure >= settings_.forget;
        it = !record.burstStart && quiet ? addresses_.erase(it) : std::next(it);
    }
}

std::optional<LoginThrottle::Clock::time_point> LoginThrottle::nextReport() const {
    std::lock_guard lock(mutex_);
    std::optional<Clock::time_point> next;
    for (const auto& [address, record] : addresses_) {
        const Clock::time_point due =
            record.burstStart ? *record.burstStart + settings_.burst : record.lastFailure + settings_.forget;
        if (!next || due < *next) next = due;
    }
    return next;
}

void LoginThrottle::reportAll() {
    std::lock_guard lock(mutex_);
    for (auto& [address, record] : addresses_)
        if (record.burstStart) logBurst(address, record);
}

void LoginThrottle::logBurst(const std::string& address, Address& record) {
    const int n = record.burstFailures;
    if (log_)
        log_(std::to_string(n) + (n == 1 ? " tentativa de login recusada de " : " tentativas de login recusadas de ") +
             address + " nos últimos " + std::to_string(settings_.burst.count()) + " s");
    record.burstFailures = 0;
    record.burstStart.reset();
}

}  // namespace krv::server
