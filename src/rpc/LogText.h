#pragma once
#include <string>
#include <string_view>

namespace krv::rpc {

// Text a client chose, made safe for one log line: a newline or another control character
// would let the client forge lines of its own, and a right-to-left override would make a
// line read otherwise than it is written, so every byte outside printable ASCII becomes
// "\xNN" (and a backslash "\\", so the result reads back unambiguously).
inline std::string escapeForLog(std::string_view text) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\\') {
            out += "\\\\";
        } else if (byte < 0x20 || byte >= 0x7f) {
            out += "\\x";
            out += kHex[byte >> 4];
            out += kHex[byte & 0xf];
        } else {
            out += c;
        }
    }
    return out;
}

}  // namespace krv::rpc
