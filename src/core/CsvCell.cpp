#include "core/CsvCell.h"

#include <charconv>
#include <cmath>
#include <string_view>

namespace krv {

std::string csvNumberCell(double value) {
    if (!std::isfinite(value)) return {};
    char buffer[400];  // the longest double in fixed notation fits
    const auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed);
    std::string text(buffer, error == std::errc() ? end : buffer);
    for (char& c : text)
        if (c == '.') c = ',';
    return text;
}

std::string csvTextCell(std::string text) {
    if (!text.empty() && std::string_view("=+-@\t\r").find(text[0]) != std::string_view::npos) text = "'" + text;
    if (text.find_first_of(";\"\r\n") == std::string::npos) return text;
    std::string quoted = "\"";
    for (char c : text) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
    return quoted + "\"";
}

}  // namespace krv
