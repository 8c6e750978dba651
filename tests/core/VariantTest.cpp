#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "core/DataPacket.h"
#include "core/Variant.h"

using krv::DataPacket;
using krv::DateTime;
using krv::Variant;

TEST(Variant, ConversionsNeverThrowAndReadTextAsPeopleWriteIt) {
    EXPECT_EQ(Variant().asString(), "");
    EXPECT_EQ(Variant(12).asString(), "12");
    EXPECT_EQ(Variant(2.5).asString(), "2.5");
    EXPECT_EQ(Variant(3.0).asString(), "3");
    EXPECT_EQ(Variant(DateTime::fromDate(2024, 1, 9)).asString(), "09/01/2024");
    EXPECT_EQ(Variant(DateTime::fromParts(2024, 1, 9, 7, 0, 1)).asString(), "09/01/2024 07:00:01");

    EXPECT_EQ(Variant(" 42 ").asInt(), 42);
    EXPECT_EQ(Variant("+7").asInt(), 7);
    EXPECT_EQ(Variant("-2.9").asInt(), -2);
    EXPECT_EQ(Variant(-2.9).asInt(), -2);
    EXPECT_EQ(Variant("abc").asInt(), 0);
    EXPECT_EQ(Variant(std::nan("")).asInt(), 0);
    EXPECT_EQ(Variant(1e300).asInt(), std::numeric_limits<int64_t>::max());
    EXPECT_DOUBLE_EQ(Variant("3,5").asDouble(), 3.5);
    EXPECT_DOUBLE_EQ(Variant("1.25").asDouble(), 1.25);
    EXPECT_DOUBLE_EQ(Variant("1,2,3").asDouble(), 0);
    EXPECT_DOUBLE_EQ(Variant("inf").asDouble(), 0);

    EXPECT_TRUE(Variant("S").asBool());
    EXPECT_TRUE(Variant("true").asBool());
    EXPECT_TRUE(Variant(2).asBool());
    EXPECT_FALSE(Variant("N").asBool());
    EXPECT_FALSE(Variant().asBool());

    EXPECT_EQ(Variant("05/06/2024").asDateTime(), DateTime::fromDate(2024, 6, 5));
    EXPECT_EQ(Variant("2024-06-05 10:00:00").asDateTime(), DateTime::fromParts(2024, 6, 5, 10, 0, 0));
    EXPECT_EQ(Variant("31/02/2024").asDateTime(), DateTime{});
}

TEST(Variant, EqualityComparesNumbersByValueAndPacketsByContent) {
    EXPECT_EQ(Variant(1), Variant(1.0));
    EXPECT_NE(Variant(1), Variant("1"));
    EXPECT_NE(Variant(), Variant(""));
    EXPECT_EQ(Variant(Variant::Array{1, "a"}), Variant(Variant::Array{1, "a"}));
    EXPECT_NE(Variant(Variant::Array{1, "a"}), Variant(Variant::Array{1}));

    DataPacket p;
    p.fields = {{"A", krv::FieldType::Integer, 0}};
    p.rows = {{Variant(1)}};
    DataPacket q = p;
    EXPECT_EQ(Variant(p), Variant(q));
    q.rows[0][0] = 2;
    EXPECT_NE(Variant(p), Variant(q));
}

TEST(Variant, TakePacketMovesOnlyWhenSoleHolder) {
    DataPacket p;
    p.fields = {{"A", krv::FieldType::String, 3}};
    p.rows = {{Variant("x")}};

    Variant shared(p);
    Variant other = shared;
    const DataPacket copied = std::move(shared).takePacket();
    EXPECT_EQ(copied, p);
    EXPECT_EQ(other.packet(), p);  // the other holder still sees its rows

    Variant sole(p);
    EXPECT_EQ(std::move(sole).takePacket(), p);
    EXPECT_THROW(std::move(Variant(1)).takePacket(), std::bad_variant_access);
}

TEST(Variant, SetStringReplacesAnyValueAndReusesTextStorage) {
    const std::string longText(100, 'x');
    Variant text(longText);
    const char* storage = text.str().data();
    text.setString("ação");
    EXPECT_EQ(text, Variant("ação"));
    EXPECT_EQ(text.str().data(), storage);

    for (Variant other : {Variant(), Variant(5), Variant(2.5), Variant(DateTime{}), Variant(Variant::Array{1, 2})}) {
        other.setString(longText);
        EXPECT_EQ(other.type(), Variant::Type::String);
        EXPECT_EQ(other.str(), longText);
    }
}
