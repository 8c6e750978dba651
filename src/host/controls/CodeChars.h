#pragma once
#include <QChar>

namespace krv::host {

// The characters of the server's codes.
inline bool IsAsciiDigit(QChar c) { return c.unicode() >= u'0' && c.unicode() <= u'9'; }
inline bool IsAsciiLetterOrDigit(QChar c) {
    const char16_t u = c.unicode();
    return IsAsciiDigit(c) || (u >= u'A' && u <= u'Z') || (u >= u'a' && u <= u'z');
}

}  // namespace krv::host
