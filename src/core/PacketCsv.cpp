#include "core/PacketCsv.h"

#include <cstdio>

#include "core/CsvCell.h"

namespace krv {
namespace {

std::string dateText(const DateTime& value) {
    char text[32];
    std::snprintf(text, sizeof text, "%02d/%02d/%04d", value.day(), value.month(), value.year());
    const std::string iso = value.toIso();
    return iso.size() > 10 ? text + iso.substr(10) : text;
}

std::string cell(const Variant& value) {
    switch (value.type()) {
        case Variant::Type::Null:
            return {};
        case Variant::Type::Int:
            return value.asString();
        case Variant::Type::Double:
            return csvNumberCell(value.asDouble());
        case Variant::Type::DateTime:
            return dateText(value.asDateTime());
        case Variant::Type::String:
            return csvTextCell(value.str());
        default:
            return csvTextCell(value.asString());
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
    for (const FieldDef& field : packet.fields) cells.push_back(csvTextCell(field.name));
    appendLine(out, cells);
    for (const Row& row : packet.rows) {
        cells.clear();
        for (size_t column = 0; column < packet.fields.size(); ++column)
            cells.push_back(column < row.size() ? cell(row[column]) : std::string());
        appendLine(out, cells);
    }
    return out;
}

}  // namespace krv
