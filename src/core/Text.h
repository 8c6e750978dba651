#pragma once
#include <string_view>

namespace krv {

// Field and parameter names are ASCII and, as in the report engine, case-insensitive.
bool equalsIgnoringAsciiCase(std::string_view a, std::string_view b);

// Well-formed UTF-8: no stray continuation bytes, overlong forms, surrogates or code
// points above U+10FFFF.
bool isValidUtf8(std::string_view s);

}  // namespace krv
