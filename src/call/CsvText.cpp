#include "call/CsvText.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace krv::call {
namespace {

std::string numberText(double value) {
    char buffer[400];  // the longest double in fixed notation fits
    const auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed);
    std::string text(buffer, error == std::errc() ? end : buffer);
    for (char& c : text)
        if (c == '.') c = ',';
    return text;
}

std::string dateText(const DateTime& value) {
    char text[32];
    std::snprintf(text, sizeof text, "%02d/%02d/%04d", value.day(), value.month(), value.year());
    const std::string iso = value.toIso();
    return iso.size() > 10 ? text + iso.substr(10) : text;
}

// A text the spreadsheet would take for a formula is kept a text by a leading apostrophe;
// a cell with the separator, a quote or a line break goes in quotes.
std::string textCell(std::string text) {
    if (!text.empty() && std::string_view("=+-@\t\r").find(text[0]) != std::string_view::npos) text.insert(0, "'");
    if (text.find_first_of(";\"\r\n") == std::string::npos) return text;
    std::string quoted = "\"";
    for (char c : text) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
    return quoted + "\"";
}

std::string cell(const Variant& value) {
    switch (value.type()) {
        case Variant::Type::Null:
            return {};
        case Variant::Type::Int:
            return value.asString();
        case Variant::Type::Double:
            return std::isfinite(value.asDouble()) ? numberText(value.asDouble()) : std::string();
        case Variant::Type::DateTime:
            return dateText(value.asDateTime());
        case Variant::Type::String:
            return textCell(value.str());
        default:
            return textCell(value.asString());
    }
}

void appendLine(std::string& out, const std::vector<std::string>& cells) {
    for (size_t i = 0; i < cells.size(); ++i) {
        if (i) out += ';';
        out += cells[i];
    }
    out += "\r\n";
}

}  // namespace

std::string csvText(const DataPacket& packet) {
    std::string out = "\xEF\xBB\xBF";
    std::vector<std::string> cells;
    for (const FieldDef& field : packet.fields) cells.push_back(textCell(field.name));
    appendLine(out, cells);
    for (const Row& row : packet.rows) {
        cells.clear();
        for (size_t column = 0; column < packet.fields.size(); ++column)
            cells.push_back(column < row.size() ? cell(row[column]) : std::string());
        appendLine(out, cells);
    }
    return out;
}

}  // namespace krv::call
