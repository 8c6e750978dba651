#include "Text.h"

#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>

namespace krv {

bool equalsIgnoringAsciiCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        const char x = (a[i] >= 'A' && a[i] <= 'Z') ? char(a[i] + 32) : a[i];
        const char y = (b[i] >= 'A' && b[i] <= 'Z') ? char(b[i] + 32) : b[i];
        if (x != y) return false;
    }
    return true;
}

bool isValidUtf8(std::string_view s) {
    const auto* p = reinterpret_cast<const unsigned char*>(s.data());
    const auto* end = p + s.size();
    while (p < end) {
        // Most text is ASCII, and accented letters come one or two in a word: skip eight
        // bytes at a time, and from a word with a high bit straight to its first such byte.
        while (end - p >= 8) {
            uint64_t chunk;
            std::memcpy(&chunk, p, 8);
            chunk &= 0x8080808080808080ull;
            if (chunk != 0) {
                if constexpr (std::endian::native == std::endian::little) p += std::countr_zero(chunk) / 8;
                break;
            }
            p += 8;
        }
        if (p == end) break;
        const unsigned char c = *p;
        if (c < 0x80) {
            ++p;
            continue;
        }
        // The common case here: a two-byte letter (ç, ã, é ...).
        if (c >= 0xC2 && c <= 0xDF) {
            if (end - p < 2 || (p[1] & 0xC0) != 0x80) return false;
            p += 2;
            continue;
        }
        int extra;
        uint32_t cp;
        if (c >= 0xE0 && c <= 0xEF)
            extra = 2, cp = c & 0x0F;
        else if (c >= 0xF0 && c <= 0xF4)
            extra = 3, cp = c & 0x07;
        else
            return false;
        if (end - p <= extra) return false;
        for (int i = 1; i <= extra; ++i) {
            if ((p[i] & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (p[i] & 0x3F);
        }
        if ((extra == 2 && (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF))) ||
            (extra == 3 && (cp < 0x10000 || cp > 0x10FFFF)))
            return false;
        p += extra + 1;
    }
    return true;
}

std::string_view trimmed(std::string_view s) {
    const auto first = s.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos) return {};
    return s.substr(first, s.find_last_not_of(" \t\r\n") - first + 1);
}

bool parseNumber(std::string_view text, double& out) {
    std::string s(trimmed(text));
    if (s.empty()) return false;
    if (s.find('.') == std::string::npos) {
        const auto comma = s.find(',');
        if (comma != std::string::npos && s.find(',', comma + 1) == std::string::npos) s[comma] = '.';
    }
    if (s.front() == '+') s.erase(0, 1);
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), out);
    return ec == std::errc() && end == s.data() + s.size() && std::isfinite(out);
}

bool parseInteger(std::string_view text, int64_t& out) {
    std::string_view s = trimmed(text);
    if (s.size() > 1 && s.front() == '+' && s[1] != '-') s.remove_prefix(1);
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), out);
    return !s.empty() && ec == std::errc() && end == s.data() + s.size();
}

}  // namespace krv
