#include <gtest/gtest.h>

#include "rpc/LogText.h"

using krv::rpc::escapeForLog;

TEST(LogText, ClientTextStaysOnOneVisibleLine) {
    struct Case {
        const char* what;
        std::string text;
        std::string logged;
    };
    const std::vector<Case> cases{
        {"Portuguese text as it is", "Requisição nº 3 — pão", "Requisição nº 3 — pão"},
        {"line breaks", "a\nb\r\nc", "a\\nb\\r\\nc"},
        {"tab, escape, NUL and DEL", std::string("\t\x1b[2J\0\x7f", 7), "\\t\\x1b[2J\\x00\\x7f"},
        {"a backslash cannot fake an escape", "\\n", "\\\\n"},
        {"C1 next-line", "a\u0085b", "a\\u{85}b"},
        {"line and paragraph separators", "a\u2028b\u2029", "a\\u{2028}b\\u{2029}"},
        {"bidirectional override and isolate", "\u202egpj.exe\u2066", "\\u{202e}gpj.exe\\u{2066}"},
        {"byte that is not UTF-8", "a\xff" "b", "a\\xffb"},
        {"sequence cut at the end", "a\xc3", "a\\xc3"},
        {"overlong slash", "\xc0\xaf", "\\xc0\\xaf"},
        {"surrogate", "\xed\xa0\x80", "\\xed\\xa0\\x80"},
    };
    for (const Case& c : cases) EXPECT_EQ(escapeForLog(c.text), c.logged) << c.what;
}

TEST(LogText, LongTextIsCutByCharactersNotBytes) {
    const std::string fits(200, 'a');
    EXPECT_EQ(escapeForLog(fits), fits);
    EXPECT_EQ(escapeForLog(fits + "b"), fits + "… (mais 1 bytes)");
    // Two-byte characters: the cut never splits one.
    std::string accents;
    for (int i = 0; i < 5; ++i) accents += "é";
    EXPECT_EQ(escapeForLog(accents, 3), "ééé… (mais 4 bytes)");
}
