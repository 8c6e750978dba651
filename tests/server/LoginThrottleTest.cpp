// Refused logins slow down per address and are logged once per burst; time is handed in, so
// nothing here waits.
#include <gtest/gtest.h>

#include <vector>

#include "server/access/LoginThrottle.h"

using krv::server::LoginThrottle;
using std::chrono::milliseconds;
using std::chrono::seconds;

namespace {

const LoginThrottle::Settings kSettings{milliseconds(250), milliseconds(2000), seconds(60), seconds(900)};
const LoginThrottle::Clock::time_point kStart{std::chrono::hours(1)};

struct Logged {
    std::vector<std::string> lines;
    LoginThrottle::Log sink() {
        return [this](const std::string& line) { lines.push_back(line); };
    }
};

}  // namespace

TEST(LoginThrottle, EachRefusalWaitsTwiceTheOneBeforeUpToTheMaximumUntilALoginGoesThrough) {
    Logged log;
    LoginThrottle throttle(kSettings, log.sink());
    const long expected[] = {250, 500, 1000, 2000, 2000};  // the maximum exactly, then one past it
    for (size_t i = 0; i < std::size(expected); ++i)
        EXPECT_EQ(throttle.refused("10.0.0.1", kStart + seconds(i)), milliseconds(expected[i])) << "refusal " << i + 1;
    EXPECT_EQ(throttle.refused("10.0.0.2", kStart), milliseconds(250)) << "another address has its own count";

    throttle.accepted("10.0.0.1");
    EXPECT_EQ(throttle.refused("10.0.0.1", kStart + seconds(10)), milliseconds(250)) << "a success starts afresh";
    EXPECT_EQ(throttle.refused("10.0.0.1", kStart + seconds(11)), milliseconds(500));

    const auto last = kStart + seconds(11);
    EXPECT_EQ(throttle.refused("10.0.0.1", last + seconds(899)), milliseconds(1000)) << "one second short of quiet";
    EXPECT_EQ(throttle.refused("10.0.0.1", last + seconds(899) + seconds(900)), milliseconds(250))
        << "quiet for the whole time: counted afresh";
}

TEST(LoginThrottle, ABurstIsLoggedOnceWithItsCountWhenItsTimeIsOver) {
    Logged log;
    LoginThrottle throttle(kSettings, log.sink());
    for (int i = 0; i < 5000; ++i) throttle.refused("10.0.0.1", kStart + milliseconds(i / 100));
    throttle.refused("::1", kStart + seconds(30));
    EXPECT_EQ(throttle.nextReport(), kStart + seconds(60));

    throttle.reportEnded(kStart + seconds(59) + milliseconds(999));
    EXPECT_TRUE(log.lines.empty()) << "the burst is still on";
    throttle.reportEnded(kStart + seconds(60));
    EXPECT_EQ(log.lines, std::vector<std::string>{"5000 tentativas de login recusadas de 10.0.0.1 nos últimos 60 s"});
    EXPECT_EQ(throttle.nextReport(), kStart + seconds(90));

    throttle.refused("10.0.0.1", kStart + seconds(70));  // a new burst
    throttle.reportAll();                                // the server stops before it is over
    EXPECT_EQ(log.lines, (std::vector<std::string>{"5000 tentativas de login recusadas de 10.0.0.1 nos últimos 60 s",
                                                   "1 tentativa de login recusada de 10.0.0.1 nos últimos 60 s",
                                                   "1 tentativa de login recusada de ::1 nos últimos 60 s"}));
}

TEST(LoginThrottle, ForgetsAnAddressOnceItIsQuiet) {
    LoginThrottle throttle(kSettings, nullptr);
    throttle.refused("10.0.0.1", kStart);
    throttle.reportEnded(kStart + seconds(60));
    EXPECT_EQ(throttle.nextReport(), kStart + seconds(900)) << "its count is kept while it may still matter";
    throttle.reportEnded(kStart + seconds(900));
    EXPECT_EQ(throttle.nextReport(), std::nullopt) << "nothing kept of an address that went quiet";

    throttle.refused("10.0.0.2", kStart);
    throttle.accepted("10.0.0.2");
    throttle.reportEnded(kStart + seconds(60));
    EXPECT_EQ(throttle.nextReport(), std::nullopt) << "nor of one that logged in after its refusals";
}
