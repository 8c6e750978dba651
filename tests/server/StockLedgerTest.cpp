// The ledger of what a kitchen holds, on its own: the edges of shelf life, counts, arrivals
// and consumption, computed by hand.
#include <gtest/gtest.h>

#include "server/domain/StockLedger.h"

using namespace krv;
using namespace krv::server;

namespace {

const DateTime kDay = DateTime::fromDate(2026, 3, 15);

StockEvent line(int day, double need, size_t index, const char* slot = "00011") {
    return {StockEvent::Kind::Line, kDay.addDays(day), slot, toMicros(need), StockOrigin::Count, 0, index};
}
StockEvent count(int day, double quantity) {
    return {StockEvent::Kind::Count, kDay.addDays(day), "", toMicros(quantity)};
}
StockEvent arrival(int day, double quantity, StockOrigin origin = StockOrigin::PendingOrder) {
    return {StockEvent::Kind::Arrival, kDay.addDays(day), "", toMicros(quantity), origin, 77};
}
StockEvent consumed(int day, double quantity, const char* slot) {
    return {StockEvent::Kind::Consumption, kDay.addDays(day), slot, toMicros(quantity)};
}

struct Expected {
    double fromStock, bought, expired;
};

}  // namespace

TEST(StockLedger, LinesAreMetFromStockFirstAndBuyWholePackagesWhoseRestLastsItsShelfLife) {
    const struct {
        const char* what;
        int shelfLife;
        double package;
        std::vector<StockEvent> events;
        std::vector<Expected> lines;
    } cases[] = {
        {"shelf life 0: the rest of a package is gone the next day",
         0,
         12,
         {line(0, 7.46, 0), line(1, 7.46, 1)},
         {{0, 12, 0}, {0, 12, 4.54}}},
        {"shelf life 5: the rest meets the next days",
         5,
         12,
         {line(0, 7.46, 0), line(1, 7.46, 1), line(2, 7.46, 2)},
         {{0, 12, 0}, {4.54, 12, 0}, {7.46, 0, 0}}},
        {"the package's last valid day is the day of need, and not one day more",
         1,
         10,
         {line(0, 6, 0), line(1, 3, 1), line(2, 1, 2)},
         {{0, 10, 0}, {3, 0, 0}, {0, 10, 1}}},
        {"a count on the day itself meets that day",
         3,
         5,
         {count(1, 10), line(1, 4, 0), line(2, 7, 1)},
         {{4, 0, 0}, {6, 5, 0}}},
        {"stock exactly the need buys nothing; the next shift buys a package",
         2,
         3,
         {count(0, 2.5), line(0, 2.5, 0, "00011"), line(0, 1, 1, "00012")},
         {{2.5, 0, 0}, {0, 3, 0}}},
        {"a count replaces what the ledger thought", 10, 1, {arrival(0, 5), count(1, 1), line(1, 3, 0)}, {{1, 2, 0}}},
        {"consumption of an earlier shift takes the stock first",
         2,
         4,
         {arrival(0, 3, StockOrigin::Receipt), consumed(0, 2, "00011"), line(0, 2, 0, "00012")},
         {{1, 4, 0}}},
        {"an order arriving on the day of need counts that day, not the day before",
         0,
         5,
         {arrival(1, 6), line(0, 5, 0), line(1, 5, 1)},
         {{0, 5, 0}, {5, 0, 0}}},
        {"consumption beyond the stock leaves nothing, and buys nothing",
         5,
         2,
         {count(0, 1), consumed(0, 4, "00011"), line(1, 1.5, 0)},
         {{0, 2, 0}}},
        {"a count comes before that day's arrivals, in whatever order they were read",
         1,
         1,
         {arrival(0, 5), count(0, 1), line(0, 3, 0)},
         {{3, 0, 0}}},
        {"an earlier shift's consumption comes first, in whatever order it was read",
         2,
         4,
         {line(0, 2, 0, "00012"), arrival(0, 3, StockOrigin::Receipt), consumed(0, 2, "00011")},
         {{1, 4, 0}}},
        {"a millionth is still taken from stock", 0, 5, {count(0, 1), line(0, 0.000001, 0)}, {{0.000001, 0, 0}}},
        {"a product without a package size buys exactly the rest", 0, 0, {count(0, 1), line(0, 2.5, 0)}, {{1, 1.5, 0}}},
        {"shelf life counts days, not shifts: the rest lasts through the day",
         0,
         10,
         {line(0, 3, 0, "00011"), line(0, 3, 1, "00012"), line(0, 3, 2, "00013"), line(0, 3, 3, "00014")},
         {{0, 10, 0}, {3, 0, 0}, {3, 0, 0}, {1, 10, 0}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const auto netted = netLines(c.events, c.shelfLife, toMicros(c.package), c.lines.size());
        ASSERT_EQ(netted.size(), c.lines.size());
        for (size_t i = 0; i < c.lines.size(); ++i) {
            SCOPED_TRACE(i);
            EXPECT_EQ(netted[i].fromStock, toMicros(c.lines[i].fromStock));
            EXPECT_EQ(netted[i].bought, toMicros(c.lines[i].bought));
            Micros expired = 0, used = 0;
            for (const StockUse& gone : netted[i].expired) expired += gone.quantity;
            for (const StockUse& part : netted[i].used) used += part.quantity;
            EXPECT_EQ(expired, toMicros(c.lines[i].expired));
            EXPECT_EQ(used, netted[i].fromStock) << "the parts used add up to what came from stock";
            EXPECT_GE(netted[i].fromStock + netted[i].bought, netted[i].need) << "every need is met";
        }
    }
}

TEST(StockLedger, WhatIsAvailableAtTheStartOfADayLeavesThatDaysConsumptionOut) {
    const struct {
        const char* what;
        int shelfLife;
        std::vector<StockEvent> events;
        int day;
        double available;
    } cases[] = {
        {"count less the day's consumption, the next day", 1, {count(0, 10), consumed(0, 3, "00011")}, 1, 7},
        {"shelf life 0: nothing is left the next day", 0, {count(0, 10), consumed(0, 3, "00011")}, 1, 0},
        {"the day's own consumption is not taken yet", 1, {count(0, 10), consumed(0, 4, "00011")}, 0, 10},
        {"an order for the day counts on that day", 2, {arrival(2, 6)}, 2, 6},
        {"an order for the day after does not", 2, {arrival(2, 6)}, 1, 0},
        {"the last valid day still holds the lot", 3, {arrival(0, 5, StockOrigin::Receipt)}, 3, 5},
        {"one day past it, it is gone", 3, {arrival(0, 5, StockOrigin::Receipt)}, 4, 0},
        {"first in, first out: the older lot is used and expires first",
         2,
         {arrival(0, 4), arrival(1, 4), consumed(1, 3, "00011")},
         3,
         4},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(availableAt(c.events, c.shelfLife, kDay.addDays(c.day)), toMicros(c.available));
    }
}
