#include "core/NumberText.h"

#include <cmath>
#include <cstdio>

namespace krv {

namespace {

// Dots between the thousands of a run of digits.
std::string grouped(const std::string& digits) {
    std::string out;
    for (size_t i = 0; i < digits.size(); ++i) {
        if (i && (digits.size() - i) % 3 == 0) out += '.';
        out += digits[i];
    }
    return out;
}

}  // namespace

std::string countText(int64_t n) {
    const uint64_t magnitude = n < 0 ? uint64_t(-(n + 1)) + 1 : uint64_t(n);
    return (n < 0 ? "-" : "") + grouped(std::to_string(magnitude));
}

std::string countedText(int64_t n, const char* one, const char* many) {
    return countText(n) + " " + (n == 1 ? one : many);
}

std::string quantityText(double value) {
    if (!std::isfinite(value)) return {};
    char text[400];
    std::snprintf(text, sizeof text, "%.*f", kQuantityDecimals, std::fabs(value));
    std::string digits(text);
    const size_t point = digits.find('.');
    std::string decimals = digits.substr(point + 1);
    while (decimals.size() > size_t(kShownDecimals) && decimals.back() == '0') decimals.pop_back();
    const bool negative = value < 0 && digits.find_first_not_of("0.") != std::string::npos;
    return (negative ? "-" : "") + grouped(digits.substr(0, point)) + "," + decimals;
}

double roundedQuantity(double value) {
    const double scale = std::pow(10.0, kQuantityDecimals);
    return value < 0 ? -std::floor(-value * scale + 0.5) / scale : std::floor(value * scale + 0.5) / scale;
}

}  // namespace krv
