#include <gtest/gtest.h>

#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "MsgpackBytes.h"
#include "core/Codec.h"
#include "core/Errors.h"

using namespace krv;
using krv::test::bytes;
using krv::test::ext;
using krv::test::mp;

namespace {

struct IntegerCase {
    const char* what;
    std::string encoded;
    std::optional<int64_t> value;  // nullopt: refused
    const char* refusal = "";
};

// Every integer is an int64: the widest forms are read up to their edges, and one step past
// them is refused by name instead of wrapping into a negative number.
std::vector<IntegerCase> integerCases() {
    constexpr int64_t top = std::numeric_limits<int64_t>::max();
    constexpr int64_t bottom = std::numeric_limits<int64_t>::min();
    return {
        {"uint64 at 2^63-1", bytes({0xcf, 0x7f, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff}), top},
        {"uint64 at 2^63", bytes({0xcf, 0x80, 0, 0, 0, 0, 0, 0, 0}), std::nullopt,
         "inteiro 9223372036854775808 acima do maior aceito, 9223372036854775807 (2^63-1)"},
        {"uint64 at 2^64-1", bytes({0xcf, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff}), std::nullopt,
         "inteiro 18446744073709551615 acima"},
        {"int64 at -2^63", bytes({0xd3, 0x80, 0, 0, 0, 0, 0, 0, 0}), bottom},
        {"uint32 at 2^32-1", bytes({0xce, 0xff, 0xff, 0xff, 0xff}), 4294967295},
        {"int8 at -1", bytes({0xd0, 0xff}), -1},
    };
}

std::string integerCell(const std::string& cell) {
    return ext(codec::kPacketExtType,
               bytes({0x92}) + mp(std::make_tuple(std::make_tuple("N", "integer", 0))) + bytes({0x91, 0x91}) + cell);
}

void expectDecoded(const IntegerCase& c, const std::string& input, bool inPacket) {
    const std::string where = std::string(c.what) + (inPacket ? " in a packet cell" : " as a value");
    try {
        const Variant decoded = codec::decode(input);
        ASSERT_TRUE(c.value) << where << " was accepted";
        const Variant& number = inPacket ? decoded.packet().rows.at(0).at(0) : decoded;
        EXPECT_EQ(number, Variant(*c.value)) << where;
    } catch (const EDecodeError& error) {
        EXPECT_FALSE(c.value) << where << ": " << error.what();
        EXPECT_NE(std::string(error.what()).find(c.refusal), std::string::npos) << where << ": " << error.what();
    }
}

}  // namespace

TEST(CodecInteger, WidestFormsAreReadToTheirEdgesAndRefusedOnePast) {
    for (const IntegerCase& c : integerCases()) {
        expectDecoded(c, c.encoded, false);
        expectDecoded(c, integerCell(c.encoded), true);
    }
}
