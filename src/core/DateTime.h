#pragma once
#include <compare>
#include <cstdint>
#include <optional>
#include <string>

namespace krv {

// Wall-clock date and time with no time zone: seconds since 1970-01-01 00:00:00 as if
// it were UTC. A date-only value carries midnight.
struct DateTime {
    // The calendar this system handles: 0001-01-01 00:00:00 … 9999-12-31 23:59:59.
    static constexpr int64_t kMinSeconds = -62135596800;
    static constexpr int64_t kMaxSeconds = 253402300799;

    int64_t seconds = 0;
    uint32_t nanoseconds = 0;

    // Both throw std::invalid_argument for a date or time that does not exist.
    static DateTime fromDate(int year, int month, int day);
    static DateTime fromParts(int year, int month, int day, int hour, int minute, int second);
    // "dd/mm/yyyy"; nullopt when the text is no valid calendar date.
    static std::optional<DateTime> parseBr(const std::string& text);
    // "yyyy-mm-dd" or "yyyy-mm-dd hh:mm:ss"; nullopt when invalid.
    static std::optional<DateTime> parseIso(const std::string& text);

    int year() const;
    int month() const;
    int day() const;
    int dayOfWeek() const;    // 0 = Sunday … 6 = Saturday
    int secondOfDay() const;  // 0 at midnight
    DateTime date() const;    // midnight of the same day
    DateTime addDays(int days) const;
    std::string toBr() const;   // "dd/mm/yyyy"
    std::string toIso() const;  // "yyyy-mm-dd" (midnight) or "yyyy-mm-dd hh:mm:ss"

    auto operator<=>(const DateTime&) const = default;
};

}  // namespace krv
