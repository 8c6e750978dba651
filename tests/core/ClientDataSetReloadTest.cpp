#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "core/ClientDataSet.h"
#include "core/Codec.h"
#include "core/Errors.h"

using namespace krv;

namespace {

// What the server sends: the packet's bytes, decoded on arrival.
Variant received(const DataPacket& p) { return codec::decode(codec::encode(Variant(p))); }

DataPacket packet(std::vector<FieldDef> fields, std::vector<Row> rows) {
    DataPacket p;
    p.fields = std::move(fields);
    p.rows = std::move(rows);
    return p;
}

const std::string kLongText = "CENTRAL DE DISTRIBUIÇÃO SUL - ENTREPOSTO LOGÍSTICO";

// Three lists of other shapes, so each reload lands in rows laid out for another one:
// texts where numbers were, fewer and more fields, fewer and more rows.
DataPacket wideList() {
    return packet({{"NOME", FieldType::String, 60}, {"QTD", FieldType::Integer, 0}, {"DATA", FieldType::DateTime, 0}},
                  {{Variant(kLongText), Variant(1), Variant(DateTime::fromDate(2024, 3, 1))},
                   {Variant(kLongText + " 2"), Variant(), Variant(DateTime::fromDate(2024, 3, 2))},
                   {Variant("curto"), Variant(3), Variant()}});
}

DataPacket narrowList() {
    return packet({{"QTD", FieldType::Integer, 0}, {"NOME", FieldType::String, 60}},
                  {{Variant(7), Variant("a")}, {Variant(), Variant()}});
}

DataPacket longerList() {
    DataPacket p = packet({{"A", FieldType::String, 5},
                           {"B", FieldType::Float, 0},
                           {"C", FieldType::Bool, 0},
                           {"D", FieldType::String, 60}},
                          {});
    for (int i = 0; i < 5; ++i)
        p.rows.push_back({Variant(std::to_string(i)), Variant(i + 0.5), Variant(i % 2 == 0), Variant(kLongText)});
    return p;
}

}  // namespace

TEST(ClientDataSetReload, EachReloadHoldsExactlyTheNewListWhateverTheShapeOfTheOldOne) {
    TClientDataSet ds;
    for (const DataPacket& p : {wideList(), narrowList(), longerList(), wideList(), longerList(), narrowList()}) {
        ds.SetData(received(p));
        EXPECT_EQ(ds.Data(), p);
    }
}

TEST(ClientDataSetReload, DataSetsReloadedInTurnKeepTheirOwnRows) {
    TClientDataSet first, second;
    first.SetData(received(wideList()));
    second.SetData(received(longerList()));
    first.SetData(received(narrowList()));
    second.SetData(received(wideList()));
    first.SetData(received(longerList()));
    EXPECT_EQ(first.Data(), longerList());
    EXPECT_EQ(second.Data(), wideList());
}

TEST(ClientDataSetReload, AFailedDecodeBetweenReloadsChangesNothing) {
    TClientDataSet ds;
    ds.SetData(received(wideList()));
    ds.SetData(received(longerList()));
    std::string cut = codec::encode(Variant(narrowList()));
    cut.pop_back();
    EXPECT_THROW(ds.SetData(codec::decode(cut)), EDecodeError);
    EXPECT_EQ(ds.Data(), longerList());
    ds.SetData(received(narrowList()));
    EXPECT_EQ(ds.Data(), narrowList());
}

TEST(ClientDataSetReload, AListReloadsOverRowsOfAFarWiderOrLongerOne) {
    DataPacket wide;
    for (int f = 0; f < 12; ++f) wide.fields.push_back({"C" + std::to_string(f), FieldType::String, 60});
    for (int r = 0; r < 200; ++r) {
        Row row;
        for (int f = 0; f < 12; ++f) row.push_back(Variant(kLongText + " " + std::to_string(r * 12 + f)));
        wide.rows.push_back(std::move(row));
    }
    TClientDataSet ds;
    for (const DataPacket& p : {wide, narrowList(), wide, longerList(), wide}) {
        ds.SetData(received(p));
        EXPECT_EQ(ds.Data(), p);
    }
}

// A decoded packet carries what the codec checked; loading one must still end as any other.
namespace {

std::vector<PersistentField> persistent(const DataPacket& p) {
    std::vector<PersistentField> fields;
    for (const FieldDef& f : p.fields) fields.emplace_back(f.name, f.type, f.size);
    return fields;
}

// Texts left empty by the server, in some rows and not in others.
DataPacket withEmptyTexts() {
    return packet({{"NOME", FieldType::String, 20}, {"QTD", FieldType::Integer, 0}, {"OBS", FieldType::String, 20}},
                  {{Variant("a"), Variant(1), Variant("")},
                   {Variant(""), Variant(2), Variant("x")},
                   {Variant("b"), Variant(), Variant("y")},
                   {Variant(""), Variant(3), Variant("")}});
}

DataPacket withEmptyTextsAsNull() {
    DataPacket p = withEmptyTexts();
    for (Row& row : p.rows)
        for (Variant& cell : row)
            if (cell == Variant("")) cell = Variant();
    return p;
}

}  // namespace

TEST(DecodedPacketLoad, EmptyTextsOfADecodedPacketAreStoredAsNullOnEveryRoad) {
    TClientDataSet declared(persistent(withEmptyTexts())), fromPacket;
    for (TClientDataSet* ds : {&declared, &fromPacket}) {
        ds->SetData(received(withEmptyTexts()));
        EXPECT_EQ(ds->Data(), withEmptyTextsAsNull());
        const Variant kept = received(withEmptyTexts());
        ds->SetData(kept);  // copied out of a packet another holder keeps
        EXPECT_EQ(ds->Data(), withEmptyTextsAsNull());
        EXPECT_EQ(kept.packet(), withEmptyTexts());
    }
}

TEST(DecodedPacketLoad, FieldsOfOtherTypesOrOrderAreStillConvertedAndChecked) {
    const DataPacket texts = packet({{"CODIGO", FieldType::String, 5}, {"QTD", FieldType::String, 10}},
                                    {{Variant("1"), Variant("12")}, {Variant("2"), Variant("3,5")}});
    TClientDataSet typed({{"CODIGO", FieldType::Integer}, {"QTD", FieldType::Float}});
    typed.SetData(received(texts));
    EXPECT_EQ(typed.Data(), packet({{"CODIGO", FieldType::Integer, 0}, {"QTD", FieldType::Float, 0}},
                                   {{Variant(1), Variant(12.0)}, {Variant(2), Variant(3.5)}}));

    TClientDataSet reordered({{"QTD", FieldType::String, 10}, {"CODIGO", FieldType::String, 5}});
    reordered.SetData(received(texts));
    EXPECT_EQ(reordered.Data(), packet({{"QTD", FieldType::String, 10}, {"CODIGO", FieldType::String, 5}},
                                       {{Variant("12"), Variant("1")}, {Variant("3,5"), Variant("2")}}));

    const DataPacket before = typed.Data();
    const DataPacket notNumbers = packet({{"CODIGO", FieldType::String, 5}, {"QTD", FieldType::String, 10}},
                                         {{Variant("1"), Variant("12")}, {Variant("dois"), Variant("3")}});
    EXPECT_THROW(typed.SetData(received(notNumbers)), std::invalid_argument);
    EXPECT_EQ(typed.Data(), before);
}

TEST(DecodedPacketLoad, APacketChangedAfterDecodingIsCheckedAgain) {
    const DataPacket list = withEmptyTexts();
    TClientDataSet ds(persistent(list));
    ds.SetData(received(list));
    const DataPacket before = ds.Data();

    DataPacket wrongType = received(list).takePacket();
    wrongType.rows[1][1] = Variant("não é número");
    EXPECT_THROW(ds.SetData(Variant(wrongType)), std::invalid_argument);
    EXPECT_THROW(ds.SetData(wrongType), std::invalid_argument);

    DataPacket shortRow = received(list).takePacket();
    shortRow.rows[2].pop_back();
    EXPECT_THROW(ds.SetData(Variant(shortRow)), std::invalid_argument);
    EXPECT_EQ(ds.Data(), before);

    DataPacket emptied = received(list).takePacket();
    emptied.rows[0][0] = Variant("");  // a row the decode saw without empty texts
    ds.SetData(Variant(std::move(emptied)));
    EXPECT_TRUE(ds.FieldByName("NOME").IsNull());
    EXPECT_TRUE(ds.Data().rows[0][0].isNull());
}

TEST(DecodedPacketLoad, OnlyTheCodecMarksAPacketAndTheMarkIsNoPartOfTheValue) {
    const DataPacket list = withEmptyTexts();
    EXPECT_EQ(Variant(list).checkedForms(), nullptr);
    EXPECT_EQ(Variant("texto").checkedForms(), nullptr);

    const Variant decoded = received(list);
    ASSERT_NE(decoded.checkedForms(), nullptr);
    EXPECT_EQ(decoded.checkedForms()->rowsWithEmptyText, (std::vector<uint32_t>{0, 1, 3}));
    const Variant copy = decoded;
    EXPECT_EQ(copy.checkedForms(), decoded.checkedForms());
    EXPECT_EQ(decoded, Variant(list));

    const Variant nested = codec::decode(codec::encode(Variant(Variant::Array{Variant(list), Variant(1)})));
    EXPECT_NE(nested.array()[0].checkedForms(), nullptr);

    Variant taken = received(list);
    EXPECT_EQ(std::move(taken).takePacket(), list);
    EXPECT_EQ(taken.checkedForms(), nullptr);  // NOLINT(bugprone-use-after-move): takePacket leaves it null
}
