#include <gtest/gtest.h>

#include "SampleLists.h"

using namespace krv;
using krv::test::requisitionFields;
using krv::test::sampleRequisitions;

namespace {

// The order screen's mark-all toggle, as the screen runs it on its list.
void toggleAll(TClientDataSet& list) {
    if (list.State() != DataSetState::Browse) return;
    const double current = list.FieldByName("NRREQUIPEDIDO").AsFloat();
    TClientDataSet counting;
    counting.SetData(list.Data());
    counting.SetFilter("NRPEDEXOL IS NULL");
    counting.SetFiltered(true);
    const int open = counting.RecordCount();
    counting.SetFilter("NRPEDEXOL IS NULL AND IDMARCADO = 'S'");
    const std::string mark = open != counting.RecordCount() ? "S" : "N";
    list.DisableControls();
    for (list.First(); !list.Eof(); list.Next()) {
        list.Edit();
        if (list.FieldByName("NRPEDEXOL").IsNull()) list.FieldByName("IDMARCADO").SetAsString(mark);
        list.Post();
    }
    list.Locate("NRREQUIPEDIDO", Variant(current));
    list.EnableControls();
}

std::string marks(const TClientDataSet& ds) {
    std::string s;
    for (int r = 0; r < ds.RecordCount(); ++r) s += ds.ValueAt(r, 0).isNull() ? "_" : ds.ValueAt(r, 0).str();
    return s;
}

}  // namespace

TEST(MarkAll, TogglesOpenRowsOnlyAndRestoresTheCurrentRow) {
    TClientDataSet list(requisitionFields());
    list.SetData(sampleRequisitions());
    int resets = 0;
    list.AddListener([&](TClientDataSet::Change c, int) { resets += c == TClientDataSet::Change::Reset; });
    list.MoveTo(3);

    toggleAll(list);  // some open row unmarked: mark every open row
    EXPECT_EQ(marks(list), "SSSS");
    EXPECT_EQ(list.RecNo(), 3);
    EXPECT_EQ(resets, 1);

    list.Edit();
    list.FieldByName("IDMARCADO").SetAsString("N");  // the ordered row's mark is its own
    list.Post();
    list.MoveTo(2);
    list.Edit();
    list.FieldByName("IDMARCADO").SetAsString("N");
    list.Post();
    toggleAll(list);
    EXPECT_EQ(marks(list), "SSNS");  // the ordered row keeps "N"
    toggleAll(list);                 // all open rows marked: unmark them
    EXPECT_EQ(marks(list), "NNNN");
    EXPECT_EQ(list.RecNo(), 2);
    EXPECT_FALSE(list.Filtered());
}

TEST(MarkAll, EmptyAndFullyOrderedListsStayAsTheyAre) {
    TClientDataSet empty(requisitionFields());
    toggleAll(empty);
    EXPECT_TRUE(empty.IsEmpty());

    TClientDataSet ordered(requisitionFields());
    ordered.SetData(krv::test::requisitionPacket({{"S", 1, "A", 1, "P1"}, {"N", 2, "B", 2, "P2"}}));
    toggleAll(ordered);
    EXPECT_EQ(marks(ordered), "SN");
}
