#include <gtest/gtest.h>

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
