#include "call/JsonText.h"

#include <cmath>

#include "call/ValueText.h"
#include "core/DataPacket.h"

namespace krv::call {
namespace {

void appendString(std::string& out, const std::string& text) {
    static const char* const hex = "0123456789abcdef";
    out += '"';
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c == '\r') {
            out += "\\r";
        } else if (byte < 0x20) {
            out += "\\u00";
            out += hex[byte >> 4];
            out += hex[byte & 0xF];
        } else {
            out += c;
        }
    }
    out += '"';
}

void appendValue(std::string& out, const Variant& value);

void appendPacket(std::string& out, const DataPacket& packet) {
    out += "{\"fields\": [";
    for (size_t i = 0; i < packet.fields.size(); ++i) {
        const FieldDef& field = packet.fields[i];
        out += i ? ", {\"name\": " : "{\"name\": ";
        appendString(out, field.name);
        out += ", \"type\": ";
        appendString(out, fieldTypeName(field.type));
        out += ", \"size\": " + std::to_string(field.size) + "}";
    }
    out += "], \"rows\": [";
    for (size_t r = 0; r < packet.rows.size(); ++r) {
        out += r ? ", {" : "{";
        for (size_t i = 0; i < packet.fields.size(); ++i) {
            if (i) out += ", ";
            appendString(out, packet.fields[i].name);
            out += ": ";
            appendValue(out, i < packet.rows[r].size() ? packet.rows[r][i] : Variant());
        }
        out += "}";
    }
    out += "]}";
}

void appendValue(std::string& out, const Variant& value) {
    switch (value.type()) {
        case Variant::Type::String:
            return appendString(out, value.str());
        case Variant::Type::DateTime:
            return appendString(out, scalarText(value));
        case Variant::Type::Double:
            out += std::isfinite(value.asDouble()) ? scalarText(value) : "null";
            return;
        case Variant::Type::Array:
            out += '[';
            for (size_t i = 0; i < value.array().size(); ++i) {
                if (i) out += ", ";
                appendValue(out, value.array()[i]);
            }
            out += ']';
            return;
        case Variant::Type::Packet:
            return appendPacket(out, value.packet());
        default:
            out += scalarText(value);
    }
}

}  // namespace

std::string jsonText(const Variant& value) {
    std::string out;
    appendValue(out, value);
    return out;
}

}  // namespace krv::call
