#pragma once
#include <cstdint>
#include <cstring>
#include <string_view>

namespace krv {

// Field and parameter names are ASCII and, as in the report engine, case-insensitive.
bool equalsIgnoringAsciiCase(std::string_view a, std::string_view b);

// No byte with the high bit set. Inline, and without a loop for texts under 16 bytes:
// most cells of a list are short codes, and checking them byte by byte cost more than
// decoding everything else in them.
inline bool isAscii(std::string_view s) {
    constexpr uint64_t high = 0x8080808080808080ull;
    const char* p = s.data();
    const size_t n = s.size();
    uint64_t a, b;
    if (n >= 8) {
        for (size_t i = 0; i + 8 < n; i += 8) {
            std::memcpy(&a, p + i, 8);
            if (a & high) return false;
        }
        std::memcpy(&b, p + n - 8, 8);  // the tail, overlapping what was already seen
        return (b & high) == 0;
    }
    if (n >= 4) {
        uint32_t x, y;
        std::memcpy(&x, p, 4);
        std::memcpy(&y, p + n - 4, 4);
        return ((x | y) & uint32_t(high)) == 0;
    }
    if (n == 0) return true;
    return ((uint8_t(p[0]) | uint8_t(p[n / 2]) | uint8_t(p[n - 1])) & 0x80) == 0;
}

// Well-formed UTF-8: no stray continuation bytes, overlong forms, surrogates or code
// points above U+10FFFF.
bool isValidUtf8(std::string_view s);

// Without the surrounding blanks.
std::string_view trimmed(std::string_view s);

// Numbers typed or stored as text: "12", "-3.5", "+2" and, as people here write it,
// "3,5". Surrounding blanks are ignored; anything else makes them return false.
bool parseNumber(std::string_view text, double& out);
bool parseInteger(std::string_view text, int64_t& out);

}  // namespace krv
