#include "server/access/LoginThrottle.h"

#include <algorithm>

namespace krv::server {

LoginThrottle::Clock::time_point LoginThrottle::allowedAfter(const Failures& failures, Clock::time_point now) const {
    if (failures.count == 0 || now - failures.last >= settings_.forget) return now;
    // Doubling from the first delay; past the maximum there is nothing left to double.
    auto delay = settings_.firstDelay;
    for (int i = 1; i < failures.count && delay < settings_.maxDelay; ++i) delay *= 2;
    return failures.last + std::min(delay, settings_.maxDelay);
}

LoginThrottle::Clock::time_point LoginThrottle::nextCheck(const std::string& name, const std::string& address,
                                                          Clock::time_point now) const {
    std::lock_guard lock(mutex_);
    Clock::time_point allowed = now;
    if (const auto found = names_.find(name); found != names_.end())
        allowed = std::max(allowed, allowedAfter(found->second, now));
    if (const auto found = addresses_.find(address); found != addresses_.end())
        allowed = std::max(allowed, allowedAfter(found->second, now));
    return allowed;
}

void LoginThrottle::count(Failures& failures, Clock::time_point now) const {
    if (now - failures.last >= settings_.forget) failures.count = 0;  // a first failure starts at 0 either way
    ++failures.count;
    failures.last = now;
}

void LoginThrottle::refused(const std::string& name, const std::string& address, Clock::time_point now) {
    std::lock_guard lock(mutex_);
    count(names_[name], now);
    Failures& record = addresses_[address];
    count(record, now);
    if (!record.burstStart) record.burstStart = now;
    ++record.burstCount;
}

void LoginThrottle::accepted(const std::string& name) {
    std::lock_guard lock(mutex_);
    names_.erase(name);
}

void LoginThrottle::reportEnded(Clock::time_point now) {
    std::lock_guard lock(mutex_);
    for (auto it = addresses_.begin(); it != addresses_.end();) {
        Failures& record = it->second;
        if (record.burstStart && now - *record.burstStart >= settings_.burst) logBurst(it->first, record);
        const bool quiet = now - record.last >= settings_.forget;
        it = !record.burstStart && quiet ? addresses_.erase(it) : std::next(it);
    }
    std::erase_if(names_, [&](const auto& entry) { return now - entry.second.last >= settings_.forget; });
}

std::optional<LoginThrottle::Clock::time_point> LoginThrottle::nextReport() const {
    std::lock_guard lock(mutex_);
    std::optional<Clock::time_point> next;
    const auto sooner = [&](Clock::time_point due) {
        if (!next || due < *next) next = due;
    };
    for (const auto& [address, record] : addresses_)
        sooner(record.burstStart ? *record.burstStart + settings_.burst : record.last + settings_.forget);
    for (const auto& [name, record] : names_) sooner(record.last + settings_.forget);
    return next;
}

void LoginThrottle::reportAll() {
    std::lock_guard lock(mutex_);
    for (auto& [address, record] : addresses_)
        if (record.burstStart) logBurst(address, record);
}

void LoginThrottle::logBurst(const std::string& address, Failures& record) {
    const int n = record.burstCount;
    if (log_)
        log_(std::to_string(n) + (n == 1 ? " tentativa de login recusada de " : " tentativas de login recusadas de ") +
             address + " nos últimos " + std::to_string(settings_.burst.count()) + " s");
    record.burstCount = 0;
    record.burstStart.reset();
}

}  // namespace krv::server
