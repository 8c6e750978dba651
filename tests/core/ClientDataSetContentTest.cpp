#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>

#include "SampleLists.h"
#include "core/Codec.h"
#include "core/Errors.h"

using namespace krv;
using krv::test::requisitionFields;
using krv::test::sampleRequisitions;

TEST(ClientDataSetContent, SetDataMatchesFieldsByNameAndStoresTheirTypes) {
    DataPacket p;
    p.fields = {{"extra", FieldType::String, 3},
                {"nrrequipedido", FieldType::Integer, 0},
                {"IDMARCADO", FieldType::String, 1},
                {"DTREQUIPEDIDO", FieldType::String, 10},
                {"CDFILIAL", FieldType::Integer, 0}};
    p.rows = {{Variant("a"), Variant(7), Variant("S"), Variant("05/03/2024"), Variant(1)},
              {Variant("b"), Variant(8), Variant(""), Variant(), Variant()}};
    TClientDataSet ds(requisitionFields());
    ds.SetData(p);

    EXPECT_EQ(ds.Fields().size(), 6u);  // the screen's fields, in its order
    EXPECT_EQ(ds.ValueAt(0, 1).type(), Variant::Type::Double);
    EXPECT_EQ(ds.ValueAt(0, 0).asString(), "S");
    EXPECT_EQ(ds.ValueAt(0, 3).asDateTime(), DateTime::fromDate(2024, 3, 5));
    EXPECT_EQ(ds.ValueAt(0, 5), Variant("1"));
    EXPECT_TRUE(ds.ValueAt(0, 2).isNull());  // absent from the packet
    EXPECT_TRUE(ds.ValueAt(1, 0).isNull());  // empty text is stored as null

    const DataPacket back = ds.Data();
    ASSERT_EQ(back.fields.size(), 6u);
    EXPECT_EQ(back.fields[0].name, "IDMARCADO");
    EXPECT_EQ(back.fields[1].type, FieldType::Float);
    EXPECT_EQ(back.rows[1][1], Variant(8.0));

    // A packet of the same shape goes in and comes out unchanged.
    const DataPacket sample = sampleRequisitions();
    ds.SetData(sample);
    DataPacket expected = sample;
    expected.rows[3][4] = Variant();  // the blank order reads as null
    EXPECT_EQ(ds.Data(), expected);
    EXPECT_EQ(codec::decodePacket(codec::encodePacket(ds.Data())), expected);
}

TEST(ClientDataSetContent, WithoutPersistentFieldsEachPacketBringsItsOwn) {
    TClientDataSet ds;
    ds.SetData(sampleRequisitions());
    EXPECT_EQ(ds.Fields().size(), 6u);
    EXPECT_TRUE(ds.FieldByName("NRPEDEXOL").IsNull());

    TField order = ds.FieldByName("NRPEDEXOL");
    DataPacket other;
    other.fields = {{"CHAVE", FieldType::String, 9}};
    other.rows = {{Variant("000100001")}};
    ds.SetData(other);
    EXPECT_THROW(order.Value(), std::out_of_range);  // a field the new packet no longer has
    ASSERT_EQ(ds.Fields().size(), 1u);
    EXPECT_EQ(ds.FieldByName("CHAVE").AsString(), "000100001");
}

TEST(ClientDataSetContent, BadPacketsLeaveThePreviousContentUntouched) {
    TClientDataSet ds(requisitionFields());
    ds.SetData(sampleRequisitions());
    ds.MoveTo(2);

    DataPacket wrongType;
    wrongType.fields = {{"NRREQUIPEDIDO", FieldType::String, 10}};
    wrongType.rows = {{Variant("10")}, {Variant("dez")}};
    EXPECT_THROW(ds.SetData(wrongType), std::invalid_argument);
    DataPacket ragged;
    ragged.fields = {{"NMSERVICO", FieldType::String, 10}};
    ragged.rows = {{Variant("a"), Variant("b")}};
    EXPECT_THROW(ds.SetData(ragged), std::invalid_argument);
    EXPECT_THROW(ds.SetData(Variant("não é pacote")), EDecodeError);
    const Variant notAPacket(Variant::Array{});
    EXPECT_THROW(ds.SetData(notAPacket), EDecodeError);

    EXPECT_EQ(ds.RecordCount(), 4);
    EXPECT_EQ(ds.RecNo(), 2);
    EXPECT_EQ(ds.FieldByName("NRPEDEXOL").AsString(), "PED001");
}

TEST(ClientDataSetContent, SetDataFromAVariantKeepsOtherHoldersIntact) {
    const Variant decoded = codec::decode(codec::encode(Variant(sampleRequisitions())));
    TClientDataSet ds(requisitionFields());
    ds.SetData(decoded);  // held elsewhere: copied
    EXPECT_EQ(ds.RecordCount(), 4);
    EXPECT_EQ(decoded.packet().rows.size(), 4u);
    EXPECT_EQ(decoded.packet().rows[3][4], Variant(""));

    ds.SetData(codec::decode(codec::encode(Variant(sampleRequisitions()))));  // sole holder: moved
    EXPECT_EQ(ds.RecordCount(), 4);
    EXPECT_TRUE(ds.ValueAt(3, 4).isNull());
}

TEST(ClientDataSetContent, SetDataDropsAPendingEditAndSetFieldsKeepsRowsByName) {
    TClientDataSet ds(requisitionFields());
    ds.SetData(sampleRequisitions());
    ds.Edit();
    ds.FieldByName("IDMARCADO").SetAsString("S");
    ds.SetData(sampleRequisitions());
    EXPECT_EQ(ds.State(), DataSetState::Browse);
    EXPECT_EQ(ds.FieldByName("IDMARCADO").AsString(), "N");

    ds.SetFields({{"NMSERVICO", FieldType::String, 40}, {"NRREQUIPEDIDO", FieldType::Integer, 0}});
    EXPECT_EQ(ds.RecordCount(), 4);
    EXPECT_EQ(ds.ValueAt(1, 0).asString(), "Jantar");
    EXPECT_EQ(ds.ValueAt(1, 1).type(), Variant::Type::Int);
    EXPECT_THROW(ds.SetFields({{"NMSERVICO", FieldType::Integer, 0}}), std::invalid_argument);
    EXPECT_EQ(ds.Fields().size(), 2u);
    EXPECT_EQ(ds.ValueAt(1, 0).asString(), "Jantar");
}

// Count and the partial Data read every row as Data() has it: past the filter, without the
// pending edit or insert.
TEST(ClientDataSetContent, CountAndPartialDataSeeEveryRowAsPostedWhateverTheFilter) {
    const auto marked = [](const Row& row) { return row[0] == Variant("S"); };
    const struct {
        const char* what;
        std::function<void(TClientDataSet&)> prepare;
        std::vector<double> markedNumbers;
    } cases[] = {
        {"browsing", [](TClientDataSet&) {}, {11, 9}},
        {"filtered to the open rows",
         [](TClientDataSet& ds) {
             ds.SetFilter("NRPEDEXOL IS NULL");
             ds.SetFiltered(true);
         },
         {11, 9}},
        {"marking the first row, not posted",
         [](TClientDataSet& ds) {
             ds.Edit();
             ds.FieldByName("IDMARCADO").SetAsString("S");
         },
         {11, 9}},
        {"unmarking the second row twice, not posted",
         [](TClientDataSet& ds) {
             ds.MoveTo(1);
             ds.Edit();
             ds.FieldByName("IDMARCADO").SetAsString("N");
             ds.FieldByName("IDMARCADO").SetAsString("X");
         },
         {11, 9}},
        {"marking the first row, posted",
         [](TClientDataSet& ds) {
             ds.Edit();
             ds.FieldByName("IDMARCADO").SetAsString("S");
             ds.Post();
         },
         {10, 11, 9}},
        {"inserting a marked row, not posted",
         [](TClientDataSet& ds) {
             ds.Insert();
             ds.FieldByName("IDMARCADO").SetAsString("S");
         },
         {11, 9}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TClientDataSet ds(requisitionFields());
        ds.SetData(sampleRequisitions());
        c.prepare(ds);
        EXPECT_EQ(ds.Count(marked), int(c.markedNumbers.size()));
        const DataPacket kept = ds.Data(marked, {"NRREQUIPEDIDO", "IDMARCADO"});
        EXPECT_EQ(kept.fields, ds.Data().fields);
        ASSERT_EQ(kept.rows.size(), c.markedNumbers.size());
        for (size_t r = 0; r < kept.rows.size(); ++r)
            EXPECT_EQ(kept.rows[r], (Row{Variant("S"), Variant(c.markedNumbers[r]), {}, {}, {}, {}}));
    }
}
