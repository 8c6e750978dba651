#include <gtest/gtest.h>

#include <limits>
#include <sstream>
#include <string>

#include "MsgpackBytes.h"
#include "core/Codec.h"
#include "core/Errors.h"

using namespace krv;
using krv::test::bytes;
using krv::test::ext;
using krv::test::mp;

namespace {

// A one-row packet whose cells are written in the exact forms a peer may choose, which
// an encoder of ours would not all produce (it packs the smallest form of each value).
class OneRow {
public:
    OneRow() : pk_(cells_) {}

    template <typename Pack>
    OneRow& cell(const char* name, const char* type, Pack pack) {
        fields_ += mp(std::make_tuple(std::string(name), std::string(type), 0));
        pack(pk_);
        ++width_;
        return *this;
    }

    std::string encoded() const {
        const std::string header = bytes({0x92, 0xdc, width_ >> 8, width_ & 0xff});
        const std::string rows = bytes({0x91, 0xdc, width_ >> 8, width_ & 0xff});
        return ext(codec::kPacketExtType, header + fields_ + rows + cells_.str());
    }

private:
    std::stringstream cells_;
    msgpack::packer<std::stringstream> pk_;
    std::string fields_;
    int width_ = 0;
};

using Pk = msgpack::packer<std::stringstream>;

}  // namespace

TEST(CodecCellForms, EveryFormOfACellIsReadAsItsFieldsType) {
    const std::string long40(40, 'a'), long300 = std::string(299, 'b') + "ç";
    OneRow row;
    row.cell("I1", "integer", [](Pk& p) { p.pack_fix_int8(-3); })
        .cell("I2", "integer", [](Pk& p) { p.pack_fix_uint8(7); })
        .cell("I3", "integer", [](Pk& p) { p.pack_fix_int8(-128); })
        .cell("I4", "integer", [](Pk& p) { p.pack_fix_int16(-300); })
        .cell("I5", "integer", [](Pk& p) { p.pack_fix_int32(-70000); })
        .cell("I6", "integer", [](Pk& p) { p.pack_fix_int64(std::numeric_limits<int64_t>::min()); })
        .cell("I7", "integer", [](Pk& p) { p.pack_fix_uint8(200); })
        .cell("I8", "integer", [](Pk& p) { p.pack_fix_uint16(65535); })
        .cell("I9", "integer", [](Pk& p) { p.pack_fix_uint32(4000000000u); })
        .cell("I10", "integer", [](Pk& p) { p.pack_fix_uint64(uint64_t(std::numeric_limits<int64_t>::max())); })
        .cell("F1", "float", [](Pk& p) { p.pack_float(1.5f); })
        .cell("F2", "float", [](Pk& p) { p.pack_double(-0.1); })
        .cell("F3", "float", [](Pk& p) { p.pack_fix_int16(-2); })
        .cell("S1", "string", [](Pk& p) { p.pack_str(2), p.pack_str_body("ok", 2); })
        .cell("S2", "string", [&](Pk& p) { p.pack_str(40), p.pack_str_body(long40.data(), 40); })
        .cell("S3", "fixed",
              [&](Pk& p) {
                  p.pack_str(uint32_t(long300.size())), p.pack_str_body(long300.data(), uint32_t(long300.size()));
              })
        .cell("S4", "string", [](Pk& p) { p.pack_str(0); })
        .cell("D1", "datetime", [](Pk& p) { p.pack_ext(4, -1), p.pack_ext_body("\x65\x00\x00\x00", 4); })
        .cell("D2", "datetime",
              [](Pk& p) { p.pack_ext(8, -1), p.pack_ext_body("\x00\x00\x00\x04\x00\x00\x00\x01", 8); })
        .cell(
            "D3", "datetime",
            [](Pk& p) { p.pack_ext(12, -1), p.pack_ext_body("\x00\x00\x00\x07\xff\xff\xff\xff\xff\xff\xff\xfb", 12); })
        .cell("B1", "bool", [](Pk& p) { p.pack_true(); })
        .cell("B2", "bool", [](Pk& p) { p.pack_false(); })
        .cell("N", "integer", [](Pk& p) { p.pack_nil(); });
    const Variant decoded = codec::decode(row.encoded());
    const Row& cells = decoded.packet().rows.at(0);
    const Variant expected[] = {Variant(-3),
                                Variant(7),
                                Variant(-128),
                                Variant(-300),
                                Variant(-70000),
                                Variant(std::numeric_limits<int64_t>::min()),
                                Variant(200),
                                Variant(65535),
                                Variant(int64_t(4000000000)),
                                Variant(std::numeric_limits<int64_t>::max()),
                                Variant(1.5),
                                Variant(-0.1),
                                Variant(-2.0),
                                Variant("ok"),
                                Variant(long40),
                                Variant(long300),
                                Variant(""),
                                Variant(DateTime{0x65000000, 0}),
                                Variant(DateTime{1, 1}),
                                Variant(DateTime{-5, 7}),
                                Variant(true),
                                Variant(false),
                                Variant()};
    ASSERT_EQ(cells.size(), std::size(expected));
    for (size_t c = 0; c < cells.size(); ++c) {
        EXPECT_EQ(cells[c], expected[c]) << decoded.packet().fields[c].name;
        EXPECT_EQ(cells[c].type(), expected[c].type()) << decoded.packet().fields[c].name;
    }
    // Cut anywhere, the same bytes are refused rather than read past their end.
    const std::string whole = row.encoded();
    for (size_t n = 0; n < whole.size(); ++n) EXPECT_THROW(codec::decode(whole.substr(0, n)), EDecodeError) << n;
}
