#include "call/ValueText.h"

#include <charconv>

#include "call/JsonText.h"

namespace krv::call {
namespace {

// Columns line up by characters, not bytes: accented names are common here.
size_t displayWidth(const std::string& text) {
    size_t width = 0;
    for (unsigned char byte : text) width += (byte & 0xC0) != 0x80;
    return width;
}

// A line break or tab inside a cell would tear the table apart.
std::string cellText(const Variant& value) {
    if (value.isNull()) return {};
    std::string text = scalarText(value);
    for (char& c : text)
        if (static_cast<unsigned char>(c) < 0x20) c = ' ';
    return text;
}

bool rightAligned(FieldType type) { return type == FieldType::Integer || type == FieldType::Float; }

void appendPadded(std::string& line, const std::string& text, size_t width, bool right) {
    const std::string padding(width - displayWidth(text), ' ');
    line += right ? padding + text : text + padding;
}

void appendLine(std::string& out, std::string line) {
    line.erase(line.find_last_not_of(' ') + 1);
    out += line;
    out += '\n';
}

}  // namespace

std::string scalarText(const Variant& value) {
    switch (value.type()) {
        case Variant::Type::Null:
            return "null";
        case Variant::Type::Double: {
            char buffer[32];
            const auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value.asDouble());
            return std::string(buffer, error == std::errc() ? end : buffer);
        }
        case Variant::Type::DateTime:
            return value.asDateTime().toIso();
        case Variant::Type::Array:
        case Variant::Type::Packet:
            return plainText(value);
        default:
            return value.asString();
    }
}

std::string plainText(const Variant& value) {
    switch (value.type()) {
        case Variant::Type::Packet:
            return tableText(value.packet());
        case Variant::Type::Array: {
            std::string out = "[";
            for (const Variant& item : value.array()) {
                if (out.size() > 1) out += ", ";
                out += item.isString() ? jsonText(item) : plainText(item);
            }
            return out + "]";
        }
        default:
            return scalarText(value);
    }
}

std::string tableText(const DataPacket& packet) {
    std::vector<size_t> widths;
    for (const FieldDef& field : packet.fields) widths.push_back(displayWidth(field.name));
    std::vector<std::vector<std::string>> cells;
    for (const Row& row : packet.rows) {
        auto& texts = cells.emplace_back();
        for (size_t column = 0; column < packet.fields.size(); ++column) {
            texts.push_back(column < row.size() ? cellText(row[column]) : std::string());
            widths[column] = std::max(widths[column], displayWidth(texts.back()));
        }
    }

    std::string out, header, rule;
    for (size_t column = 0; column < packet.fields.size(); ++column) {
        const char* gap = column ? "  " : "";
        header += gap;
        appendPadded(header, packet.fields[column].name, widths[column], rightAligned(packet.fields[column].type));
        rule += gap + std::string(widths[column], '-');
    }
    appendLine(out, header);
    appendLine(out, rule);
    for (const auto& texts : cells) {
        std::string line;
        for (size_t column = 0; column < texts.size(); ++column) {
            if (column) line += "  ";
            appendPadded(line, texts[column], widths[column], rightAligned(packet.fields[column].type));
        }
        appendLine(out, line);
    }
    const size_t count = packet.rows.size();
    out += "(" + std::to_string(count) + (count == 1 ? " linha)" : " linhas)") + "\n";
    return out;
}

}  // namespace krv::call
