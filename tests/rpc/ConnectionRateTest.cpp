// How fast one address may open connections: a burst, then a steady rate, each address on
// its own, and a memory of addresses that cannot grow without end.
#include <gtest/gtest.h>

#include "rpc/ConnectionRate.h"

using namespace krv::rpc;
using namespace std::chrono_literals;

TEST(ConnectionRate, ABurstThenTheSteadyRateForEachAddressAlone) {
    ConnectionRate rate({4, 2});  // four at once, then one each half second
    const auto t0 = ConnectionRate::Clock::time_point{} + 1h;
    const struct {
        const char* address;
        std::chrono::milliseconds at;
        bool allowed;
    } steps[] = {
        {"10.0.0.1", 0ms, true},    {"10.0.0.1", 0ms, true},    {"10.0.0.1", 0ms, true},
        {"10.0.0.1", 0ms, true},    // the burst exactly
        {"10.0.0.1", 0ms, false},   // one past it
        {"10.0.0.2", 0ms, true},    // another address has its own
        {"10.0.0.1", 499ms, false}, // not yet a whole connection back
        {"10.0.0.1", 500ms, true},  {"10.0.0.1", 500ms, false},
        {"10.0.0.1", 60s, true},    {"10.0.0.1", 60s, true},    {"10.0.0.1", 60s, true},
        {"10.0.0.1", 60s, true},    // a long quiet gives back the burst, no more
        {"10.0.0.1", 60s, false},
    };
    for (const auto& step : steps)
        EXPECT_EQ(rate.allow(step.address, t0 + step.at), step.allowed) << step.address << " at " << step.at.count();
}

TEST(ConnectionRate, AddressesWhoseBucketRefilledAreForgottenOnceManyAreRemembered) {
    ConnectionRate rate({1, 1});
    const auto t0 = ConnectionRate::Clock::time_point{} + 1h;
    for (size_t i = 0; i < ConnectionRate::kRemembered; ++i) rate.allow("10." + std::to_string(i), t0);
    EXPECT_EQ(rate.remembered(), ConnectionRate::kRemembered);
    EXPECT_FALSE(rate.allow("10.0", t0)) << "still remembered while its bucket is empty";
    EXPECT_TRUE(rate.allow("10.new", t0 + 1s));
    EXPECT_EQ(rate.remembered(), 1u) << "every refilled bucket went, the newcomer's stays";
    EXPECT_TRUE(ConnectionRate({1, 0}).allow("10.0", t0)) << "a rate of 0 is no limit";
}
