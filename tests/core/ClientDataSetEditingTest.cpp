#include <gtest/gtest.h>

#include <stdexcept>

#include "SampleLists.h"
#include "core/Errors.h"

using namespace krv;
using krv::test::requisitionFields;
using krv::test::sampleRequisitions;

namespace {

TClientDataSet loadedSample() {
    TClientDataSet ds(requisitionFields());
    ds.SetData(sampleRequisitions());
    return ds;
}

}  // namespace

TEST(ClientDataSetEditing, NavigationKeepsBofEofAndTheCursorConsistent) {
    TClientDataSet empty(requisitionFields());
    EXPECT_TRUE(empty.IsEmpty());
    EXPECT_TRUE(empty.Eof());
    EXPECT_TRUE(empty.Bof());
    EXPECT_EQ(empty.RecNo(), -1);
    empty.Next();
    empty.Edit();
    EXPECT_EQ(empty.State(), DataSetState::Browse);
    EXPECT_TRUE(empty.FieldByName("NMSERVICO").IsNull());
    EXPECT_THROW(empty.FieldByName("NMSERVICO").SetValue("x"), std::logic_error);

    TClientDataSet ds = loadedSample();
    EXPECT_EQ(ds.RecordCount(), 4);
    EXPECT_EQ(ds.RecNo(), 0);
    EXPECT_TRUE(ds.Bof());
    EXPECT_FALSE(ds.Eof());
    int visited = 0;
    for (ds.First(); !ds.Eof(); ds.Next()) ++visited;
    EXPECT_EQ(visited, 4);
    EXPECT_EQ(ds.RecNo(), 3);
    ds.Prior();
    EXPECT_EQ(ds.FieldByName("nrrequipedido").AsFloat(), 9);  // names in any case
    ds.Last();
    EXPECT_TRUE(ds.Eof());
    EXPECT_EQ(ds.FieldByName("NMSERVICO").AsString(), "Ceia");
    ds.MoveTo(1);
    EXPECT_EQ(ds.FieldByName("DTREQUIPEDIDO").AsDateTime(), DateTime::fromDate(2024, 3, 2));
    EXPECT_THROW(ds.MoveTo(4), std::out_of_range);
    EXPECT_THROW(ds.FieldByName("NAOEXISTE"), std::out_of_range);
    EXPECT_THROW(ds.ValueAt(0, 6), std::out_of_range);
    EXPECT_EQ(ds.ValueAt(2, 4).asString(), "PED001");
}

TEST(ClientDataSetEditing, EditPostAndCancelChangeOnlyWhatWasPosted) {
    TClientDataSet ds = loadedSample();
    ds.MoveTo(1);
    EXPECT_THROW(ds.FieldByName("IDMARCADO").SetValue("N"), std::logic_error);

    ds.Edit();
    EXPECT_EQ(ds.State(), DataSetState::Edit);
    ds.FieldByName("IDMARCADO").SetAsString("N");
    ds.FieldByName("IDMARCADO").SetAsString("X");
    ds.FieldByName("NMSERVICO").SetAsString("");
    EXPECT_TRUE(ds.FieldByName("NMSERVICO").IsNull());
    EXPECT_EQ(ds.Data().rows[1][0].asString(), "S");  // pending edits are not content yet
    ds.Cancel();
    EXPECT_EQ(ds.State(), DataSetState::Browse);
    EXPECT_EQ(ds.FieldByName("IDMARCADO").AsString(), "S");
    EXPECT_EQ(ds.FieldByName("NMSERVICO").AsString(), "Jantar");

    ds.Edit();
    ds.FieldByName("NRREQUIPEDIDO").SetAsString("11,5");
    EXPECT_THROW(ds.FieldByName("NRREQUIPEDIDO").SetAsString("onze"), std::invalid_argument);
    EXPECT_THROW(ds.FieldByName("DTREQUIPEDIDO").SetAsString("31/02/2024"), std::invalid_argument);
    EXPECT_DOUBLE_EQ(ds.FieldByName("NRREQUIPEDIDO").AsFloat(), 11.5);
    ds.Next();  // moving posts the pending edit
    EXPECT_EQ(ds.State(), DataSetState::Browse);
    EXPECT_DOUBLE_EQ(ds.Data().rows[1][1].asDouble(), 11.5);
    ds.Post();  // nothing pending: no effect
    EXPECT_EQ(ds.RecNo(), 2);
}

TEST(ClientDataSetEditing, InsertHonoursBeforeInsertAndCancelDropsTheRow) {
    TClientDataSet ds = loadedSample();
    ds.BeforeInsert = [](TClientDataSet&) { throw EAbort(); };
    ds.MoveTo(2);
    EXPECT_THROW(ds.Insert(), EAbort);
    EXPECT_EQ(ds.RecordCount(), 4);
    EXPECT_EQ(ds.State(), DataSetState::Browse);
    EXPECT_EQ(ds.RecNo(), 2);

    ds.BeforeInsert = nullptr;
    ds.Insert();
    EXPECT_EQ(ds.State(), DataSetState::Insert);
    EXPECT_EQ(ds.RecordCount(), 5);
    EXPECT_TRUE(ds.FieldByName("NMSERVICO").IsNull());
    ds.FieldByName("NMSERVICO").SetAsString("Lanche");
    EXPECT_EQ(ds.Data().rows.size(), 4u);
    ds.Cancel();
    EXPECT_EQ(ds.RecordCount(), 4);
    EXPECT_EQ(ds.RecNo(), 3);

    ds.Insert();
    ds.FieldByName("NMSERVICO").SetAsString("Lanche");
    ds.Post();
    EXPECT_EQ(ds.Data().rows.size(), 5u);
    EXPECT_EQ(ds.Data().rows[4][2].asString(), "Lanche");
}

TEST(ClientDataSetEditing, LocateFindsTheFirstExactMatchInTheFieldsType) {
    TClientDataSet ds = loadedSample();
    EXPECT_TRUE(ds.Locate("NRREQUIPEDIDO", Variant(9.0)));
    EXPECT_EQ(ds.RecNo(), 2);
    EXPECT_TRUE(ds.Locate("NRREQUIPEDIDO", Variant(12)));  // an integer finds the float 12
    EXPECT_EQ(ds.RecNo(), 3);
    EXPECT_TRUE(ds.Locate("NMSERVICO", Variant("Almoço")));
    EXPECT_EQ(ds.RecNo(), 0);
    EXPECT_FALSE(ds.Locate("NMSERVICO", Variant("almoço")));  // exact: case matters
    EXPECT_EQ(ds.RecNo(), 0);
    EXPECT_TRUE(ds.Locate("NRPEDEXOL", Variant("")));  // "" finds the first blank
    EXPECT_EQ(ds.RecNo(), 0);
    ds.MoveTo(3);
    EXPECT_FALSE(ds.Locate("NRREQUIPEDIDO", Variant("doze")));
    EXPECT_EQ(ds.RecNo(), 3);
    EXPECT_THROW(ds.Locate("NAOEXISTE", Variant(1)), std::out_of_range);
}

TEST(ClientDataSetEditing, ListenersHearChangesAndDisabledControlsGiveOneReset) {
    TClientDataSet ds = loadedSample();
    std::vector<std::pair<TClientDataSet::Change, int>> heard;
    const int id = ds.AddListener([&](TClientDataSet::Change c, int row) { heard.emplace_back(c, row); });

    ds.Next();
    ds.Edit();
    ds.FieldByName("IDMARCADO").SetAsString("S");
    ds.Post();
    using C = TClientDataSet::Change;
    const std::vector<std::pair<C, int>> expected = {{C::Scroll, 1}, {C::Record, 1}, {C::Record, 1}};
    EXPECT_EQ(heard, expected);

    heard.clear();
    ds.DisableControls();
    ds.DisableControls();
    for (ds.First(); !ds.Eof(); ds.Next()) {
        ds.Edit();
        ds.FieldByName("IDMARCADO").SetAsString("S");
        ds.Post();
    }
    ds.EnableControls();
    EXPECT_TRUE(heard.empty());
    ds.EnableControls();
    ds.EnableControls();  // one too many: ignored
    ASSERT_EQ(heard.size(), 1u);
    EXPECT_EQ(heard[0].first, C::Reset);

    // A listener may remove itself while being told.
    int calls = 0;
    int self = 0;
    self = ds.AddListener([&](TClientDataSet::Change, int) {
        ++calls;
        ds.RemoveListener(self);
    });
    ds.RemoveListener(id);
    ds.First();
    ds.Next();
    EXPECT_EQ(calls, 1);
}
