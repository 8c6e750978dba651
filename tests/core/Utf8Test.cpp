#include <gtest/gtest.h>

#include <string>

#include "core/Text.h"

using namespace krv;

// The validator reads eight bytes at a time and jumps into a word to its first high byte,
// so each sequence is tried at every offset within a word and before every short tail.
TEST(Utf8, EachSequenceIsJudgedAloneWhereverItStandsInTheText) {
    const struct {
        const char* name;
        std::string sequence;
        bool valid;
    } cases[] = {
        {"two-byte letter", "ç", true},
        {"three-byte sign", "€", true},
        {"four-byte emoji", "\xF0\x9F\x98\x80", true},
        {"highest code point", "\xF4\x8F\xBF\xBF", true},
        {"stray continuation byte", "\x80", false},
        {"overlong two-byte form", "\xC0\xAF", false},
        {"C1 lead byte", "\xC1\xBF", false},
        {"two-byte lead before ASCII",
         "\xC3"
         "(",
         false},
        {"two-byte lead alone", "\xC3", false},
        {"three-byte form cut short", "\xE2\x82", false},
        {"overlong three-byte form", "\xE0\x80\xAF", false},
        {"surrogate", "\xED\xA0\x80", false},
        {"four-byte form cut short", "\xF0\x9F\x98", false},
        {"above U+10FFFF", "\xF4\x90\x80\x80", false},
        {"lead byte F5", "\xF5\x80\x80\x80", false},
        {"byte FF", "\xFF", false},
    };
    for (const auto& c : cases)
        for (size_t before = 0; before <= 17; ++before)
            for (size_t after = 0; after <= 17; ++after) {
                const std::string text = std::string(before, 'a') + c.sequence + std::string(after, 'b');
                EXPECT_EQ(isValidUtf8(text), c.valid) << c.name << ", after " << before << " and before " << after;
            }
}

TEST(Utf8, AHighByteIsSeenAtEveryPositionOfShortAndLongTexts) {
    EXPECT_TRUE(isAscii(""));
    EXPECT_TRUE(isValidUtf8(""));
    for (size_t n = 1; n <= 40; ++n) {
        EXPECT_TRUE(isAscii(std::string(n, '~'))) << n;
        for (size_t at = 0; at < n; ++at) {
            std::string text(n, 'x');
            text[at] = '\x80';
            EXPECT_FALSE(isAscii(text)) << n << " " << at;
            EXPECT_FALSE(isValidUtf8(text)) << n << " " << at;
        }
    }
}
