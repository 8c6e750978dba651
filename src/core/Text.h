#pragma once
#include <cstdint>
#include <string_view>

namespace krv {

// Field and parameter names are ASCII and, as in the report engine, case-insensitive.
bool equalsIgnoringAsciiCase(std::string_view a, std::string_view b);

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
