#include "rpc/ConnectionRate.h"

#include <algorithm>

namespace krv::rpc {

double ConnectionRate::tokensAt(const Bucket& bucket, Clock::time_point now) const {
    const double seconds = std::chrono::duration<double>(now - bucket.at).count();
    return std::min(limits_.burst, bucket.tokens + seconds * limits_.perSecond);
}

bool ConnectionRate::allow(const std::string& address, Clock::time_point now) {
    if (limits_.perSecond <= 0) return true;
    if (buckets_.size() >= kRemembered)
        std::erase_if(buckets_, [&](const auto& entry) { return tokensAt(entry.second, now) >= limits_.burst; });
    Bucket& bucket = buckets_.try_emplace(address, Bucket{limits_.burst, now}).first->second;
    bucket.tokens = tokensAt(bucket, now);
    bucket.at = now;
    if (bucket.tokens < 1) return false;
    bucket.tokens -= 1;
    return true;
}

}  // namespace krv::rpc
