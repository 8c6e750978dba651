#include "DateTime.h"

#include <cstdio>
#include <stdexcept>

namespace krv {
namespace {

constexpr int64_t kSecondsPerDay = 86400;

// Days since 1970-01-01 of a proleptic Gregorian date (H. Hinnant's algorithm).
int64_t daysFromCivil(int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = unsigned(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + int64_t(doe) - 719468;
}

struct Civil {
    int64_t year;
    unsigned month;
    unsigned day;
};

Civil civilFromDays(int64_t z) {
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = unsigned(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    const unsigned d = doy - (153 * mp + 2) / 5 + 1;
    const unsigned m = mp < 10 ? mp + 3 : mp - 9;
    return {int64_t(yoe) + era * 400 + (m <= 2), m, d};
}

int64_t floorDiv(int64_t a, int64_t b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }

bool isLeap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int daysInMonth(int y, int m) {
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && isLeap(y) ? 29 : days[m - 1];
}

bool validDate(int y, int m, int d) {
    return y >= 1 && y <= 9999 && m >= 1 && m <= 12 && d >= 1 && d <= daysInMonth(y, m);
}

bool validTime(int h, int mi, int s) { return h >= 0 && h <= 23 && mi >= 0 && mi <= 59 && s >= 0 && s <= 59; }

// Reads exactly `width` digits at text[pos]; false when any is not a digit.
bool readDigits(const std::string& text, size_t pos, size_t width, int& out) {
    if (pos + width > text.size()) return false;
    out = 0;
    for (size_t i = pos; i < pos + width; ++i) {
        if (text[i] < '0' || text[i] > '9') return false;
        out = out * 10 + (text[i] - '0');
    }
    return true;
}

}  // namespace

DateTime DateTime::fromDate(int year, int month, int day) { return fromParts(year, month, day, 0, 0, 0); }

DateTime DateTime::fromParts(int year, int month, int day, int hour, int minute, int second) {
    if (!validDate(year, month, day) || !validTime(hour, minute, second))
        throw std::invalid_argument("Data ou hora inválida");
    DateTime t;
    t.seconds =
        daysFromCivil(year, unsigned(month), unsigned(day)) * kSecondsPerDay + hour * 3600 + minute * 60 + second;
    return t;
}

std::optional<DateTime> DateTime::parseBr(const std::string& text) {
    int d, m, y;
    if (text.size() != 10 || text[2] != '/' || text[5] != '/' || !readDigits(text, 0, 2, d) ||
        !readDigits(text, 3, 2, m) || !readDigits(text, 6, 4, y) || !validDate(y, m, d))
        return std::nullopt;
    return fromDate(y, m, d);
}

std::optional<DateTime> DateTime::parseIso(const std::string& text) {
    int y, m, d, h = 0, mi = 0, s = 0;
    if ((text.size() != 10 && text.size() != 19) || text[4] != '-' || text[7] != '-' || !readDigits(text, 0, 4, y) ||
        !readDigits(text, 5, 2, m) || !readDigits(text, 8, 2, d) || !validDate(y, m, d))
        return std::nullopt;
    if (text.size() == 19 &&
        ((text[10] != ' ' && text[10] != 'T') || text[13] != ':' || text[16] != ':' || !readDigits(text, 11, 2, h) ||
         !readDigits(text, 14, 2, mi) || !readDigits(text, 17, 2, s) || !validTime(h, mi, s)))
        return std::nullopt;
    return fromParts(y, m, d, h, mi, s);
}

int DateTime::year() const { return int(civilFromDays(floorDiv(seconds, kSecondsPerDay)).year); }
int DateTime::month() const { return int(civilFromDays(floorDiv(seconds, kSecondsPerDay)).month); }
int DateTime::day() const { return int(civilFromDays(floorDiv(seconds, kSecondsPerDay)).day); }

int DateTime::dayOfWeek() const {
    // 1970-01-01 was a Thursday.
    const int64_t w = (floorDiv(seconds, kSecondsPerDay) + 4) % 7;
    return int(w < 0 ? w + 7 : w);
}

int DateTime::secondOfDay() const { return int(seconds - floorDiv(seconds, kSecondsPerDay) * kSecondsPerDay); }

DateTime DateTime::date() const { return DateTime{floorDiv(seconds, kSecondsPerDay) * kSecondsPerDay, 0}; }

DateTime DateTime::addDays(int days) const { return DateTime{seconds + int64_t(days) * kSecondsPerDay, nanoseconds}; }

std::string DateTime::toBr() const {
    const Civil c = civilFromDays(floorDiv(seconds, kSecondsPerDay));
    char buf[32];
    std::snprintf(buf, sizeof buf, "%02u/%02u/%04lld", c.day, c.month, static_cast<long long>(c.year));
    return buf;
}

std::string DateTime::toIso() const {
    const Civil c = civilFromDays(floorDiv(seconds, kSecondsPerDay));
    const int sod = secondOfDay();
    char buf[48];
    if (sod == 0)
        std::snprintf(buf, sizeof buf, "%04lld-%02u-%02u", static_cast<long long>(c.year), c.month, c.day);
    else
        std::snprintf(buf, sizeof buf, "%04lld-%02u-%02u %02d:%02d:%02d", static_cast<long long>(c.year), c.month,
                      c.day, sod / 3600, sod / 60 % 60, sod % 60);
    return buf;
}

}  // namespace krv
