#pragma once
#include <compare>
#include <cstdint>
#include <optional>
#include <string>

namespace krv {

// Wall-clock date and time with no time zone: seconds since 1970-01-01 00:00:00 as if
// it were UTC. A date-only value carries midnight.
struct DateTime {
    int64_t seconds = 0;
    uint32_t nanoseconds = 0;

    static DateTime fromDate(int year, int month, int day);
    static DateTime fromParts(int year, int month, int day, int hour, int minute, int second);
    // "dd/mm/yyyy"; nullopt when the text is no valid calendar date.
    static std::optional<DateTime> parseBr(const std::string& text);
    // "yyyy-mm-dd" or "yyyy-mm-dd hh:mm:ss"; nullopt when invalid.
    static std::optional<DateTime> parseIso(const std::string& text);

    int year() const;
    int month() const;
    int day() const;
    int dayOfWeek() const;  // 0 = Sunday … 6 = Saturday
    DateTime date() const;  // midnight of the same day
    DateTime addDays(int days) const;
    std::string toBr() const;   // "dd/mm/yyyy"
    std::string toIso() const;  // "yyyy-mm-dd" (midnight) or "yyyy-mm-dd hh:mm:ss"

    auto operator<=>(const DateTime&) const = default;
};

}  // namespace krv
