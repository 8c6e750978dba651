#include "rpc/LogText.h"

#include <cstdint>
#include <cstdio>

namespace krv::rpc {
namespace {

// The code point of the well-formed UTF-8 sequence at `at`, and its length; 0 length when
// the bytes there are not one.
struct Decoded {
    char32_t code = 0;
    size_t length = 0;
};

Decoded decodeAt(std::string_view text, size_t at) {
    const auto byte = [&](size_t i) { return uint8_t(text[at + i]); };
    const uint8_t first = byte(0);
    size_t length;
    char32_t code;
    char32_t lowest;
    if (first < 0x80) return {first, 1};
    if ((first & 0xE0) == 0xC0) {
        length = 2, code = first & 0x1F, lowest = 0x80;
    } else if ((first & 0xF0) == 0xE0) {
        length = 3, code = first & 0x0F, lowest = 0x800;
    } else if ((first & 0xF8) == 0xF0) {
        length = 4, code = first & 0x07, lowest = 0x10000;
    } else {
        return {};
    }
    if (at + length > text.size()) return {};
    for (size_t i = 1; i < length; ++i) {
        if ((byte(i) & 0xC0) != 0x80) return {};
        code = (code << 6) | (byte(i) & 0x3F);
    }
    if (code < lowest || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return {};
    return {code, length};
}

// Characters that would break the line or change how the rest of it is shown.
bool unsafe(char32_t code) {
    return code < 0x20 || (code >= 0x7F && code <= 0x9F) || code == 0x061C || code == 0x200E || code == 0x200F ||
           code == 0x2028 || code == 0x2029 || (code >= 0x202A && code <= 0x202E) ||
           (code >= 0x2066 && code <= 0x2069) || code == 0xFEFF;
}

std::string escapeOf(char32_t code) {
    switch (code) {
        case '\n':
            return "\\n";
        case '\r':
            return "\\r";
        case '\t':
            return "\\t";
        case '\\':
            return "\\\\";
    }
    char buffer[16];
    if (code < 0x80)
        std::snprintf(buffer, sizeof buffer, "\\x%02x", unsigned(code));
    else
        std::snprintf(buffer, sizeof buffer, "\\u{%x}", unsigned(code));
    return buffer;
}

std::string byteEscape(uint8_t byte) {
    char buffer[8];
    std::snprintf(buffer, sizeof buffer, "\\x%02x", byte);
    return buffer;
}

}  // namespace

std::string escapeForLog(std::string_view text, size_t maxChars) {
    std::string out;
    out.reserve(std::min(text.size(), maxChars * 4) + 16);
    size_t at = 0;
    for (size_t chars = 0; at < text.size() && chars < maxChars; ++chars) {
        const Decoded d = decodeAt(text, at);
        if (d.length == 0) {
            out += byteEscape(uint8_t(text[at]));
            ++at;
            continue;
        }
        if (d.code == '\\' || unsafe(d.code))
            out += escapeOf(d.code);
        else
            out.append(text, at, d.length);
        at += d.length;
    }
    if (at < text.size()) out += "… (mais " + std::to_string(text.size() - at) + " bytes)";
    return out;
}

}  // namespace krv::rpc
