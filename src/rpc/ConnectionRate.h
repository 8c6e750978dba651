#pragma once
#include <chrono>
#include <cstddef>
#include <string>
#include <unordered_map>

namespace krv::rpc {

// How fast one address may open new connections: a bucket of `burst` connections per address,
// refilled at `perSecond`. A client that connects, sends and closes in a loop would otherwise
// keep the workers busy with connections that come to nothing, and the sessions already in
// would wait behind them; beyond its rate such a connection is closed as it is accepted. A
// kitchen's screens behind one address connect once each, well within the burst. Only the
// acceptor's thread uses it.
class ConnectionRate {
public:
    using Clock = std::chrono::steady_clock;
    struct Limits {
        double burst = 64;
        double perSecond = 16;  // 0: no limit
    };
    // Addresses whose bucket has refilled are forgotten once this many are remembered.
    static constexpr size_t kRemembered = 4096;

    explicit ConnectionRate(Limits limits) : limits_(limits) {}

    // True, counting it, when `address` may open one more connection at `now`.
    bool allow(const std::string& address, Clock::time_point now);
    size_t remembered() const { return buckets_.size(); }

private:
    struct Bucket {
        double tokens;
        Clock::time_point at;
    };
    double tokensAt(const Bucket& bucket, Clock::time_point now) const;

    Limits limits_;
    std::unordered_map<std::string, Bucket> buckets_;
};

}  // namespace krv::rpc
