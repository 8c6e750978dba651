#include <gtest/gtest.h>

#include <limits>
#include <stdexcept>

#include "MsgpackBytes.h"
#include "core/Codec.h"

using namespace krv;
using krv::test::ext;
using krv::test::mp;

namespace {

Variant roundTrip(const Variant& v) { return codec::decode(codec::encode(v)); }

DataPacket everyFieldType() {
    DataPacket p;
    p.fields = {{"NOME", FieldType::String, 40}, {"MARCA", FieldType::Fixed, 1},   {"QTD", FieldType::Integer, 0},
                {"VALOR", FieldType::Float, 0},  {"DATA", FieldType::DateTime, 0}, {"ATIVO", FieldType::Bool, 0}};
    p.rows = {
        {Variant("Café com açúcar 日本 🍲"), Variant("S"), Variant(int64_t(-5)), Variant(1.25),
         Variant(DateTime::fromParts(1965, 3, 2, 10, 0, 0)), Variant(true)},
        {Variant(), Variant(), Variant(), Variant(), Variant(), Variant()},
        {Variant(""), Variant("N"), Variant(std::numeric_limits<int64_t>::max()), Variant(-0.5),
         Variant(DateTime{1700000000, 999999999}), Variant(false)},
    };
    return p;
}

}  // namespace

TEST(CodecRoundTrip, EveryScalarComesBackEqualAndTyped) {
    const Variant values[] = {Variant(),
                              Variant(true),
                              Variant(false),
                              Variant(0),
                              Variant(-1),
                              Variant(127),
                              Variant(128),
                              Variant(-33),
                              Variant(std::numeric_limits<int64_t>::min()),
                              Variant(std::numeric_limits<int64_t>::max()),
                              Variant(0.1),
                              Variant(-1e300),
                              Variant(""),
                              Variant("ação ü 日本 🍲"),
                              Variant(std::string(70000, 'x'))};
    for (const Variant& v : values) {
        const Variant back = roundTrip(v);
        EXPECT_EQ(back, v) << v.asString();
        EXPECT_EQ(back.type(), v.type()) << v.asString();
    }
}

TEST(CodecRoundTrip, DatesUseTheSmallestTimestampFormAndKeepNanoseconds) {
    struct Case {
        DateTime t;
        size_t encodedSize;  // 6: 32-bit form, 10: 64-bit, 15: 96-bit
    } cases[] = {
        {DateTime{}, 6},
        {DateTime::fromParts(2024, 5, 1, 12, 0, 0), 6},
        {DateTime{1714564800, 123456789}, 10},
        {DateTime{int64_t(1) << 32, 0}, 10},
        {DateTime::fromParts(1969, 12, 31, 23, 59, 59), 15},
        {DateTime{-1, 500000000}, 15},
        {DateTime::fromDate(1, 1, 1), 15},
        {DateTime{DateTime::kMaxSeconds, 999999999}, 15},
    };
    for (const Case& c : cases) {
        const std::string bytes = codec::encode(Variant(c.t));
        EXPECT_EQ(bytes.size(), c.encodedSize) << c.t.seconds;
        const Variant back = codec::decode(bytes);
        ASSERT_EQ(back.type(), Variant::Type::DateTime);
        EXPECT_EQ(back.asDateTime(), c.t) << c.t.seconds;
    }
    EXPECT_THROW(codec::encode(Variant(DateTime{0, 1000000000})), std::invalid_argument);
    EXPECT_THROW(codec::encode(Variant(DateTime{DateTime::kMaxSeconds + 1, 0})), std::invalid_argument);
}

TEST(CodecRoundTrip, NestedArraysAndPacketsInsideThem) {
    const DataPacket p = everyFieldType();
    const Variant v(Variant::Array{Variant(true), Variant(p),
                                   Variant(Variant::Array{Variant(Variant::Array{}), Variant("x")}),
                                   Variant(DataPacket{})});
    const Variant back = roundTrip(v);
    EXPECT_EQ(back, v);
    ASSERT_EQ(back.array()[1].type(), Variant::Type::Packet);
    const DataPacket& q = back.array()[1].packet();
    EXPECT_EQ(q.fields, p.fields);
    EXPECT_EQ(q.rows[0][2].type(), Variant::Type::Int);
    EXPECT_EQ(q.rows[0][3].type(), Variant::Type::Double);
    EXPECT_EQ(q.rows[2][4].asDateTime().nanoseconds, 999999999u);
    EXPECT_EQ(q.rows[1][0].type(), Variant::Type::Null);

    Variant::Array big(70000, Variant(1));
    EXPECT_EQ(roundTrip(Variant(big)).array().size(), 70000u);
    EXPECT_EQ(codec::decodePacket(codec::encodePacket(p)), p);
}

TEST(CodecRoundTrip, PacketsFromOtherPeersAreReadInTheFieldsTypes) {
    // Another peer may write a whole number or a float32 into a float column.
    const std::string inner = mp(std::make_tuple(std::make_tuple(std::make_tuple("V", "float", 0)),
                                                 std::make_tuple(std::make_tuple(3), std::make_tuple(1.5f))));
    const Variant v = codec::decode(ext(codec::kPacketExtType, inner));
    EXPECT_EQ(v.packet().rows[0][0].type(), Variant::Type::Double);
    EXPECT_DOUBLE_EQ(v.packet().rows[0][0].asDouble(), 3.0);
    EXPECT_DOUBLE_EQ(v.packet().rows[1][0].asDouble(), 1.5);
}

TEST(CodecRoundTrip, EncodingRefusesPacketsItCouldNotReadBack) {
    DataPacket p;
    p.fields = {{"A", FieldType::Integer, 0}, {"B", FieldType::String, 5}};
    p.rows = {{Variant(1)}};
    EXPECT_THROW(codec::encodePacket(p), std::invalid_argument);  // row width
    p.rows = {{Variant("x"), Variant("y")}};
    EXPECT_THROW(codec::encodePacket(p), std::invalid_argument);  // text in an integer column
    p.rows = {{Variant(1), Variant(std::string("\xff\xfe"))}};
    EXPECT_THROW(codec::encodePacket(p), std::invalid_argument);  // not UTF-8
    p.rows = {{Variant(1), Variant("ok")}};
    p.fields[1].size = -1;
    EXPECT_THROW(codec::encodePacket(p), std::invalid_argument);

    DataPacket f;
    f.fields = {{"F", FieldType::Float, 0}};
    f.rows = {{Variant(7)}};
    EXPECT_EQ(codec::decodePacket(codec::encodePacket(f)).rows[0][0].type(), Variant::Type::Double);
}
