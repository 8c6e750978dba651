#include <gtest/gtest.h>

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

struct Malformed {
    const char* what;
    std::string input;
    codec::Limits limits = {};
};

std::string packet(const std::string& inner) { return ext(codec::kPacketExtType, inner); }

std::string oneField(const char* name, const char* type, int64_t size) {
    return packet(mp(std::make_tuple(std::make_tuple(std::make_tuple(name, type, size)), std::make_tuple())));
}

// One row of one cell of the given field type, the cell's bytes written as they are.
std::string oneRawCell(const char* type, const std::string& cell) {
    return packet(bytes({0x92}) + mp(std::make_tuple(std::make_tuple("A", type, 0))) + bytes({0x91, 0x91}) + cell);
}

template <typename Cell>
std::string oneCell(const char* type, const Cell& cell) {
    return oneRawCell(type, mp(cell));
}

std::vector<Malformed> malformedInputs() {
    const auto tuple3 =
        std::make_tuple(std::make_tuple(std::make_tuple("A", "string", 1)), std::make_tuple(std::make_tuple("x")));
    const std::string emptyPacket = packet(mp(std::make_tuple(std::make_tuple(), std::make_tuple())));
    std::string deep(40, '\x91');
    deep += '\xc0';
    std::vector<Malformed> cases = {
        {"empty input", ""},
        {"array shorter than its header", bytes({0x92, 0x01})},
        {"string shorter than its header", bytes({0xa5, 'a', 'b'})},
        {"trailing bytes", bytes({0x01, 0x02})},
        {"reserved byte 0xc1", bytes({0xc1})},
        {"map", bytes({0x81, 0x01, 0x02})},
        {"empty map", bytes({0x80})},
        {"bin", bytes({0xc4, 0x01, 0x00})},
        {"empty bin", bytes({0xc4, 0x00})},
        {"unknown extension type", ext(5, "x")},
        {"packet whose rows follow, not asked for",
         ext(codec::kPacketRowsFollowExtType, mp(std::make_tuple(std::make_tuple(std::make_tuple("A", "string", 1)), 1)))},
        {"timestamp of 2 bytes", ext(-1, "ab")},
        {"timestamp with nanoseconds above 999999999", ext(-1, bytes({0xff, 0xff, 0xff, 0xfc, 0, 0, 0, 0}))},
        {"timestamp beyond year 9999", ext(-1, bytes({0, 0, 0, 0, 0x7f, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff}))},
        {"timestamp before year 1", ext(-1, bytes({0, 0, 0, 0, 0x80, 0, 0, 0, 0, 0, 0, 0}))},
        {"invalid UTF-8", bytes({0xa2, 0xc3, 0x28})},
        {"UTF-8 surrogate", bytes({0xa3, 0xed, 0xa0, 0x80})},
        {"unsigned integer above int64", bytes({0xcf, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff})},
        {"array claiming 4 G items", bytes({0xdd, 0xff, 0xff, 0xff, 0xff})},
        {"string claiming 4 GB", bytes({0xdb, 0xff, 0xff, 0xff, 0xff})},
        {"extension claiming 4 GB", bytes({0xc9, 0xff, 0xff, 0xff, 0xff, 0x02})},
        {"arrays nested 40 deep", deep},
        {"input above maxBytes", mp(std::make_tuple(1, 2, 3)), {.maxBytes = 2}},
        {"more elements than maxElements", mp(std::make_tuple(1, 2, 3, 4)), {.maxElements = 3}},
        {"string above maxStringBytes", mp(std::string(10, 'a')), {.maxStringBytes = 9}},
        {"packet one level beyond maxDepth", bytes({0x91}) + emptyPacket, {.maxDepth = 1}},
        {"packet whose inner bytes are no array", packet(mp(1))},
        {"packet with one element", packet(mp(std::make_tuple(std::make_tuple())))},
        {"packet whose fields are no array", packet(mp(std::make_tuple(1, std::make_tuple())))},
        {"packet whose rows are no array", packet(mp(std::make_tuple(std::make_tuple(), "rows")))},
        {"field of two elements",
         packet(mp(std::make_tuple(std::make_tuple(std::make_tuple("A", "string")), std::make_tuple())))},
        {"field type unknown", oneField("A", "text", 1)},
        {"field size negative", oneField("A", "string", -1)},
        {"field size absurd", oneField("A", "string", int64_t(1) << 40)},
        {"field without name", oneField("", "string", 1)},
        {"field name repeated", packet(mp(std::make_tuple(std::make_tuple(std::make_tuple("A", "string", 1),
                                                                          std::make_tuple("a", "string", 1)),
                                                          std::make_tuple())))},
        {"row wider than the fields", packet(mp(std::make_tuple(std::make_tuple(std::make_tuple("A", "string", 1)),
                                                                std::make_tuple(std::make_tuple("x", "y")))))},
        {"row that is no array",
         packet(mp(std::make_tuple(std::make_tuple(std::make_tuple("A", "string", 1)), std::make_tuple("x"))))},
        {"text in an integer column", oneCell("integer", "x")},
        {"float in an integer column", oneCell("integer", 1.5)},
        {"text in a float column", oneCell("float", "1.5")},
        {"integer in a date column", oneCell("datetime", 5)},
        {"integer in a bool column", oneCell("bool", 1)},
        {"integer in a string column", oneCell("string", 1)},
        {"array in a cell", oneCell("string", std::make_tuple("x"))},
        {"map in a cell", oneRawCell("string", bytes({0x81, 0xa1, 'k', 0x01}))},
        {"bin in a cell", oneRawCell("string", bytes({0xc4, 0x01, 'x'}))},
        {"reserved byte 0xc1 in a cell", oneRawCell("integer", bytes({0xc1}))},
        {"text in a bool column", oneCell("bool", "S")},
        {"bool in a float column", oneCell("float", true)},
        {"date in a string column", oneRawCell("string", ext(-1, bytes({0, 0, 0, 1})))},
        {"packet in a date column", oneRawCell("datetime", ext(codec::kPacketExtType, mp(1)))},
        {"timestamp of 2 bytes in a date column", oneRawCell("datetime", ext(-1, "ab"))},
        {"timestamp beyond year 9999 in a date column",
         oneRawCell("datetime", ext(-1, bytes({0, 0, 0, 0, 0x7f, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff})))},
        {"unsigned integer above int64 in an integer column",
         oneRawCell("integer", bytes({0xcf, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff}))},
        {"invalid UTF-8 in a cell", oneRawCell("string", bytes({0xa2, 0xc3, 0x28}))},
        {"invalid UTF-8 after a run of ASCII in a cell",
         oneRawCell("string", bytes({0xab, 'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h', 'i', 'j', 0xc3}))},
        {"UTF-8 surrogate at the end of a cell", oneRawCell("string", bytes({0xa5, 'a', 'b', 0xed, 0xa0, 0x80}))},
        {"string cell above maxStringBytes", oneCell("string", std::string(10, 'a')), {.maxStringBytes = 9}},
        {"string cell claiming 4 GB", oneRawCell("string", bytes({0xdb, 0xff, 0xff, 0xff, 0xff}))},
        {"date cell claiming 4 GB", oneRawCell("datetime", bytes({0xc9, 0xff, 0xff, 0xff, 0xff, 0xff}))},
        {"truncated float64 cell", oneRawCell("float", bytes({0xcb, 0x3f, 0xf0}))},
        {"truncated int32 cell", oneRawCell("integer", bytes({0xd2, 0xff}))},
        {"truncated str16 header", oneRawCell("string", bytes({0xda, 0x01}))},
        {"truncated ext8 header", oneRawCell("datetime", bytes({0xc7, 0x0c}))},
        {"row of a 16-bit count cut short",
         packet(bytes({0x92}) + mp(std::make_tuple(std::make_tuple("A", "string", 1))) + bytes({0x91, 0xdc, 0x00}))},
        {"trailing bytes inside a packet", packet(mp(tuple3) + bytes({0xc0}))},
        {"truncated packet", packet(mp(tuple3).substr(0, 8))},
        {"more cells than maxElements", packet(mp(tuple3)), {.maxElements = 2}},
        {"elements summed over nested arrays",
         mp(std::make_tuple(std::make_tuple(1, 2), std::make_tuple(3, 4))),
         {.maxElements = 5}},
        {"packet cells summed over rows",
         packet(
             mp(std::make_tuple(std::make_tuple(std::make_tuple("A", "integer", 0), std::make_tuple("B", "integer", 0)),
                                std::make_tuple(std::make_tuple(1, 2), std::make_tuple(3, 4), std::make_tuple(5, 6))))),
         {.maxElements = 8}},
    };
    return cases;
}

}  // namespace

TEST(CodecMalformed, EveryMalformedInputGivesADecodeErrorWithAReason) {
    for (const Malformed& m : malformedInputs()) {
        try {
            codec::decode(m.input, m.limits);
            ADD_FAILURE() << m.what << ": accepted";
        } catch (const EDecodeError& e) {
            const std::string text = e.what();
            EXPECT_TRUE(text.rfind("Dados inválidos: ", 0) == 0 || text.rfind("Pacote inválido: ", 0) == 0)
                << m.what << ": " << text;
        } catch (const std::exception& e) {
            ADD_FAILURE() << m.what << ": wrong exception " << e.what();
        }
    }
}

TEST(CodecMalformed, EveryTruncationOfAValidEncodingIsRejected) {
    DataPacket p;
    p.fields = {{"A", FieldType::String, 9}, {"D", FieldType::DateTime, 0}};
    p.rows = {{Variant("ação"), Variant(DateTime{-5, 7})}};
    const std::string whole = codec::encode(Variant(Variant::Array{Variant(p), Variant("fim")}));
    ASSERT_NO_THROW(codec::decode(whole));
    for (size_t n = 0; n < whole.size(); ++n) EXPECT_THROW(codec::decode(whole.substr(0, n)), EDecodeError) << n;
}

TEST(CodecMalformed, LimitsThatFitTheInputStillAcceptIt) {
    const std::string three = mp(std::make_tuple(1, 2, 3));
    EXPECT_NO_THROW(codec::decode(three, {.maxBytes = three.size(), .maxDepth = 1, .maxElements = 3}));
    // A packet counts as a level of nesting: [packet] is two levels.
    const std::string nested = bytes({0x91}) + packet(mp(std::make_tuple(std::make_tuple(), std::make_tuple())));
    EXPECT_NO_THROW(codec::decode(nested, {.maxDepth = 2}));
}

// A packet whose rows follow takes only parts of exactly its kind and number of rows.
TEST(CodecMalformed, PartsThatDoNotFitTheRowsStillToComeAreRefused) {
    const auto row = [](const auto& cell) { return std::make_tuple(cell); };
    const auto head = [&](int64_t rows) {
        return ext(codec::kPacketRowsFollowExtType,
                   mp(std::make_tuple(std::make_tuple(std::make_tuple("A", "string", 1)), rows)));
    };
    const struct {
        const char* what;
        std::string head;
        std::vector<std::string> parts;  // the last one is refused; none: the head is
        codec::Limits limits = {};
    } cases[] = {
        {"negative row count", head(-1), {}},
        {"part that is no list", head(2), {mp(1)}},
        {"part without rows", head(2), {mp(std::make_tuple())}},
        {"more rows than lack", head(2), {mp(std::make_tuple(row("a"))), mp(std::make_tuple(row("b"), row("c")))}},
        {"a part after the last row", head(1), {mp(std::make_tuple(row("a"))), mp(std::make_tuple(row("b")))}},
        {"integer in a string column", head(2), {mp(std::make_tuple(row(1)))}},
        {"row wider than the fields", head(2), {mp(std::make_tuple(std::make_tuple("a", "b")))}},
        {"trailing bytes", head(2), {mp(std::make_tuple(row("a"))) + bytes({0xc0})}},
        {"cells above maxElements", head(2), {mp(std::make_tuple(row("a"), row("b")))}, {.maxElements = 1}},
        {"part above maxBytes", head(2), {mp(std::make_tuple(row("abcdef")))}, {.maxBytes = 8}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        codec::RowsToCome toCome;
        size_t accepted = 0;
        try {
            codec::decode(c.head, {}, toCome);
            for (const std::string& part : c.parts) {
                toCome.add(part, c.limits);
                ++accepted;
            }
            ADD_FAILURE() << "accepted";
        } catch (const EDecodeError& e) {
            EXPECT_EQ(accepted + 1, std::max<size_t>(c.parts.size(), 1)) << e.what();
        }
    }
}
