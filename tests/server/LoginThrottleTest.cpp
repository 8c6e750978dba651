// Refused logins slow down the next check of their name and of their address, and are logged
// once per burst; the queue serves addresses in turn. Time is handed in, so nothing here waits.
#include <gtest/gtest.h>

#include <vector>

#include "server/access/LoginQueue.h"
#include "server/access/LoginThrottle.h"

using krv::server::LoginSchedule;
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

// How long after `now` a check of (name, address) must wait.
milliseconds waitOf(const LoginThrottle& throttle, const std::string& name, const std::string& address,
                    LoginThrottle::Clock::time_point now) {
    return std::chrono::duration_cast<milliseconds>(throttle.nextCheck(name, address, now) - now);
}

}  // namespace

TEST(LoginThrottle, EachRefusalDoublesTheWaitOfItsNameAndOfItsAddressUpToTheMaximum) {
    LoginThrottle throttle(kSettings, nullptr);
    // Guesses at ADMIN from a new address each time: the name's wait holds across them all.
    const long expected[] = {250, 500, 1000, 2000, 2000};  // the maximum exactly, then one past it
    for (size_t i = 0; i < std::size(expected); ++i) {
        const auto at = kStart + seconds(10 * i);
        throttle.refused("ADMIN", "10.0.0." + std::to_string(i), at);
        EXPECT_EQ(waitOf(throttle, "ADMIN", "10.9.9.9", at), milliseconds(expected[i])) << "refusal " << i + 1;
    }
    const auto now = kStart + seconds(40);
    const struct {
        const char* what;
        const char* name;
        const char* address;
        long wait;
    } cases[] = {
        {"another name from an address that failed once", "MARIA", "10.0.0.4", 250},
        {"another name from a clean address", "MARIA", "10.9.9.9", 0},
    };
    for (const auto& c : cases) EXPECT_EQ(waitOf(throttle, c.name, c.address, now), milliseconds(c.wait)) << c.what;

    throttle.accepted("MARIA");  // another operator's success clears nothing of ADMIN's
    EXPECT_EQ(waitOf(throttle, "ADMIN", "10.9.9.9", now), milliseconds(2000));
    throttle.accepted("ADMIN");
    EXPECT_EQ(waitOf(throttle, "ADMIN", "10.9.9.9", now), milliseconds(0)) << "its own success starts afresh";
    EXPECT_EQ(waitOf(throttle, "ADMIN", "10.0.0.4", now), milliseconds(250)) << "the address keeps its count";

    throttle.refused("ANA", "10.1.1.1", kStart);
    EXPECT_EQ(waitOf(throttle, "ANA", "10.2.2.2", kStart + seconds(899)), milliseconds(0)) << "its wait is over";
    throttle.refused("ANA", "10.1.1.1", kStart + seconds(899));
    EXPECT_EQ(waitOf(throttle, "ANA", "10.2.2.2", kStart + seconds(899)), milliseconds(500)) << "one second short";
    throttle.refused("ANA", "10.1.1.1", kStart + seconds(899) + seconds(900));
    EXPECT_EQ(waitOf(throttle, "ANA", "10.2.2.2", kStart + seconds(1799)), milliseconds(250))
        << "quiet for the whole time: counted afresh";
}

TEST(LoginThrottle, ABurstIsLoggedOnceWithItsCountWhenItsTimeIsOver) {
    Logged log;
    LoginThrottle throttle(kSettings, log.sink());
    for (int i = 0; i < 5000; ++i)
        throttle.refused("X" + std::to_string(i), "10.0.0.1", kStart + milliseconds(i / 100));
    throttle.refused("ADMIN", "::1", kStart + seconds(30));
    EXPECT_EQ(throttle.nextReport(), kStart + seconds(60));

    throttle.reportEnded(kStart + seconds(59) + milliseconds(999));
    EXPECT_TRUE(log.lines.empty()) << "the burst is still on";
    throttle.reportEnded(kStart + seconds(60));
    EXPECT_EQ(log.lines, std::vector<std::string>{"5000 tentativas de login recusadas de 10.0.0.1 nos últimos 60 s"});
    EXPECT_EQ(throttle.nextReport(), kStart + seconds(90));

    throttle.refused("ADMIN", "10.0.0.1", kStart + seconds(70));  // a new burst
    throttle.reportAll();                                         // the server stops before it is over
    EXPECT_EQ(log.lines, (std::vector<std::string>{"5000 tentativas de login recusadas de 10.0.0.1 nos últimos 60 s",
                                                   "1 tentativa de login recusada de 10.0.0.1 nos últimos 60 s",
                                                   "1 tentativa de login recusada de ::1 nos últimos 60 s"}));
}

TEST(LoginThrottle, ForgetsNamesAndAddressesOnceTheyAreQuiet) {
    LoginThrottle throttle(kSettings, nullptr);
    throttle.refused("ADMIN", "10.0.0.1", kStart);
    throttle.reportEnded(kStart + seconds(60));
    EXPECT_EQ(throttle.nextReport(), kStart + seconds(900)) << "their counts are kept while they may still matter";
    throttle.reportEnded(kStart + seconds(900));
    EXPECT_EQ(throttle.nextReport(), std::nullopt) << "nothing kept of what went quiet";
}

namespace {

struct Queued {
    LoginSchedule::Pending pending(const std::string& name, const std::string& address, bool wanted = true) {
        return {{name, "senha", address, [wanted] { return wanted; }}, [](krv::rpc::LoginAnswer) {}};
    }
    // "name@address" of what take() hands out at `now`, or "" when nothing.
    static std::string taken(LoginSchedule& schedule, LoginThrottle::Clock::time_point now) {
        const auto pending = schedule.take(now);
        return pending ? pending->request.operatorName + "@" + pending->request.address : "";
    }
};

}  // namespace

TEST(LoginSchedule, AddressesTakeTurnsWithOneCheckEachAndAbandonedLoginsCostNothing) {
    Queued q;
    LoginSchedule schedule({4, 100}, [](auto&, auto&, auto now) { return now; });
    for (int i = 1; i <= 3; ++i) ASSERT_TRUE(schedule.add(q.pending("A" + std::to_string(i), "10.0.0.1")));
    ASSERT_TRUE(schedule.add(q.pending("GONE", "10.0.0.2", false)));
    ASSERT_TRUE(schedule.add(q.pending("B1", "10.0.0.3")));

    EXPECT_EQ(Queued::taken(schedule, kStart), "A1@10.0.0.1");
    EXPECT_EQ(Queued::taken(schedule, kStart), "B1@10.0.0.3") << "the flooding address waits for its own check";
    EXPECT_EQ(Queued::taken(schedule, kStart), "") << "one check at a time per address; the closed one is dropped";
    EXPECT_EQ(schedule.nextDue(kStart), std::nullopt) << "only a running check holds the rest back";
    schedule.finished("10.0.0.1");
    ASSERT_TRUE(schedule.add(q.pending("C1", "10.0.0.4")));
    EXPECT_EQ(Queued::taken(schedule, kStart), "A2@10.0.0.1");
    schedule.finished("10.0.0.1");
    EXPECT_EQ(Queued::taken(schedule, kStart), "C1@10.0.0.4") << "a newcomer's turn comes before the flood's next";
    EXPECT_EQ(Queued::taken(schedule, kStart), "A3@10.0.0.1");
    EXPECT_EQ(schedule.waiting(), 0u);

    // A queue emptied by a closed login keeps one turn, not two: every later step still holds.
    schedule.finished("10.0.0.1");
    ASSERT_TRUE(schedule.add(q.pending("GONE", "10.0.0.5", false)));
    ASSERT_TRUE(schedule.add(q.pending("D1", "10.0.0.5")));
    EXPECT_EQ(schedule.nextDue(kStart), kStart);
    EXPECT_EQ(Queued::taken(schedule, kStart), "D1@10.0.0.5");
    schedule.finished("10.0.0.5");
    EXPECT_EQ(schedule.nextDue(kStart), std::nullopt);
    EXPECT_EQ(Queued::taken(schedule, kStart), "");
}

TEST(LoginSchedule, AFullQueueRefusesAtOnceAtItsLimitsExactly) {
    Queued q;
    LoginSchedule schedule({2, 3}, [](auto&, auto&, auto now) { return now; });
    EXPECT_TRUE(schedule.add(q.pending("A", "10.0.0.1")));
    EXPECT_TRUE(schedule.add(q.pending("A", "10.0.0.1"))) << "the address's limit exactly";
    EXPECT_FALSE(schedule.add(q.pending("A", "10.0.0.1"))) << "one past it";
    EXPECT_TRUE(schedule.add(q.pending("B", "10.0.0.2"))) << "the whole queue's limit exactly";
    EXPECT_FALSE(schedule.add(q.pending("C", "10.0.0.3"))) << "one past it";
}

TEST(LoginSchedule, AThrottledLoginWaitsForItsTimeWhileOthersGoAhead) {
    Queued q;
    LoginThrottle throttle(kSettings, nullptr);
    throttle.refused("ADMIN", "10.0.0.9", kStart);  // ADMIN may be tried again 250 ms later
    LoginSchedule schedule({4, 100},
                           [&](auto& name, auto& address, auto now) { return throttle.nextCheck(name, address, now); });
    ASSERT_TRUE(schedule.add(q.pending("ADMIN", "10.0.0.1")));
    ASSERT_TRUE(schedule.add(q.pending("ANA", "10.0.0.2")));
    EXPECT_EQ(Queued::taken(schedule, kStart), "ANA@10.0.0.2");
    EXPECT_EQ(schedule.nextDue(kStart), kStart + milliseconds(250));
    EXPECT_EQ(Queued::taken(schedule, kStart + milliseconds(249)), "") << "one millisecond short";
    EXPECT_EQ(Queued::taken(schedule, kStart + milliseconds(250)), "ADMIN@10.0.0.1");
}
