#pragma once
#include <cstddef>
#include <string>
#include <string_view>

namespace krv::rpc {

// Text a client chose, made safe to put in a log line: it stays on one line and cannot
// pass itself off as another line or reorder what a terminal shows. Newlines, tabs and other
// control characters, bidirectional overrides and isolates, line separators, backslashes and
// bytes that are not UTF-8 become visible escapes (\n, \t, \x1b, \u{202e}, \\); text beyond
// maxChars characters is cut and says how much was left out.
std::string escapeForLog(std::string_view text, size_t maxChars = 200);

}  // namespace krv::rpc
