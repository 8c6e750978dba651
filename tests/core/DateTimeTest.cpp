#include <gtest/gtest.h>

#include <stdexcept>

#include "core/DateTime.h"

using krv::DateTime;

TEST(DateTime, CalendarPartsAcrossTheEpochAndLeapYears) {
    const DateTime before = DateTime::fromParts(1969, 12, 31, 23, 59, 59);
    EXPECT_EQ(before.seconds, -1);
    EXPECT_EQ(before.year(), 1969);
    EXPECT_EQ(before.month(), 12);
    EXPECT_EQ(before.day(), 31);
    EXPECT_EQ(before.secondOfDay(), 86399);
    EXPECT_EQ(before.date(), DateTime::fromDate(1969, 12, 31));
    EXPECT_EQ(before.dayOfWeek(), 3);  // a Wednesday

    EXPECT_EQ(DateTime::fromDate(2024, 2, 29).addDays(1), DateTime::fromDate(2024, 3, 1));
    EXPECT_EQ(DateTime::fromDate(2024, 3, 1).addDays(-1).day(), 29);
    EXPECT_EQ(DateTime::fromDate(2024, 5, 5).dayOfWeek(), 0);  // a Sunday
    EXPECT_EQ(DateTime::fromDate(1, 1, 1).seconds, DateTime::kMinSeconds);
    EXPECT_EQ(DateTime::fromParts(9999, 12, 31, 23, 59, 59).seconds, DateTime::kMaxSeconds);
    EXPECT_EQ(DateTime::fromDate(1900, 3, 1).toBr(), "01/03/1900");

    EXPECT_THROW(DateTime::fromDate(2023, 2, 29), std::invalid_argument);
    EXPECT_THROW(DateTime::fromDate(2024, 13, 1), std::invalid_argument);
    EXPECT_THROW(DateTime::fromParts(2024, 1, 1, 24, 0, 0), std::invalid_argument);
}

TEST(DateTime, ParsesAndFormatsOnlyRealDates) {
    EXPECT_EQ(DateTime::parseBr("29/02/2024"), DateTime::fromDate(2024, 2, 29));
    EXPECT_FALSE(DateTime::parseBr("29/02/2023"));
    EXPECT_FALSE(DateTime::parseBr("31/04/2024"));
    EXPECT_FALSE(DateTime::parseBr("1/2/2024"));
    EXPECT_FALSE(DateTime::parseBr("01/02/24"));
    EXPECT_FALSE(DateTime::parseBr("aa/bb/cccc"));
    EXPECT_FALSE(DateTime::parseBr(""));

    EXPECT_EQ(DateTime::parseIso("2024-02-29"), DateTime::fromDate(2024, 2, 29));
    EXPECT_EQ(DateTime::parseIso("2024-02-29 13:45:10"), DateTime::fromParts(2024, 2, 29, 13, 45, 10));
    EXPECT_EQ(DateTime::parseIso("2024-02-29T13:45:10"), DateTime::fromParts(2024, 2, 29, 13, 45, 10));
    EXPECT_FALSE(DateTime::parseIso("2024-02-29 24:00:00"));
    EXPECT_FALSE(DateTime::parseIso("2024-2-29"));
    EXPECT_FALSE(DateTime::parseIso("0000-01-01"));

    EXPECT_EQ(DateTime::fromDate(2024, 7, 4).toIso(), "2024-07-04");
    EXPECT_EQ(DateTime::fromParts(2024, 7, 4, 8, 5, 3).toIso(), "2024-07-04 08:05:03");
    EXPECT_EQ(DateTime::fromParts(2024, 7, 4, 8, 5, 3).toBr(), "04/07/2024");
}
