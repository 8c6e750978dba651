#include <gtest/gtest.h>

#include <stdexcept>

#include "SampleLists.h"

using namespace krv;
using krv::test::requisitionFields;
using krv::test::sampleRequisitions;

namespace {

int countWhere(TClientDataSet& ds, const std::string& filter) {
    ds.SetFilter(filter);
    ds.SetFiltered(true);
    const int n = ds.RecordCount();
    ds.SetFiltered(false);
    return n;
}

}  // namespace

TEST(Filter, NullAndBlankAgreeInTestsAndTextComparisons) {
    TClientDataSet ds;  // fields taken from the packet
    ds.SetData(sampleRequisitions());
    EXPECT_EQ(countWhere(ds, "NRPEDEXOL IS NULL"), 3);
    EXPECT_EQ(countWhere(ds, "NRPEDEXOL IS NOT NULL"), 1);
    EXPECT_EQ(countWhere(ds, "NRPEDEXOL = ''"), 3);
    EXPECT_EQ(countWhere(ds, "NRPEDEXOL IS NULL AND IDMARCADO = 'S'"), 1);
    EXPECT_EQ(countWhere(ds, "IDMARCADO <> 'S'"), 2);  // a null mark is not "S"
    EXPECT_EQ(countWhere(ds, "idmarcado = 's'"), 0);   // values compare exactly
    EXPECT_EQ(countWhere(ds, "not (IDMARCADO = 'S' or NRPEDEXOL is not null)"), 2);
    EXPECT_EQ(countWhere(ds, "NMSERVICO = 'Almoço' AND NOT NRPEDEXOL IS NULL"), 1);
    EXPECT_EQ(countWhere(ds, "   "), 4);
}

TEST(Filter, NumbersDatesAndTextsCompareEachInTheirOwnWay) {
    TClientDataSet ds(requisitionFields());
    ds.SetData(sampleRequisitions());
    EXPECT_EQ(countWhere(ds, "NRREQUIPEDIDO >= 10"), 3);  // 9 < 10 as numbers
    EXPECT_EQ(countWhere(ds, "NRREQUIPEDIDO > -1.5 AND NRREQUIPEDIDO < '11'"), 2);
    EXPECT_EQ(countWhere(ds, "NMSERVICO < 'B'"), 2);
    EXPECT_EQ(countWhere(ds, "DTREQUIPEDIDO <= '02/03/2024'"), 2);
    EXPECT_EQ(countWhere(ds, "DTREQUIPEDIDO = '2024-03-04'"), 1);
    EXPECT_EQ(countWhere(ds, "NMSERVICO = 'D''Ávila'"), 0);
    EXPECT_EQ(countWhere(ds, "NMSERVICO <> NMSERVICO"), 0);

    const char* bad[] = {"NRPEDEXOL IS",
                         "NRPEDEXOL = ",
                         "(IDMARCADO = 'S'",
                         "IDMARCADO = 'S' extra",
                         "IDMARCADO = 'S",
                         "NAOEXISTE = 1",
                         "IDMARCADO = 1",
                         "NRREQUIPEDIDO = 'dez'",
                         "DTREQUIPEDIDO = 20240301",
                         "NRREQUIPEDIDO = NMSERVICO",
                         "'a' = 1",
                         "1 IS NULL",
                         "IDMARCADO == 'S'",
                         "IDMARCADO = 'S' AND",
                         "NOT"};
    for (const char* text : bad) {
        EXPECT_THROW(countWhere(ds, text), std::invalid_argument) << text;
        EXPECT_FALSE(ds.Filtered()) << text;
        EXPECT_EQ(ds.RecordCount(), 4) << text;
    }
    std::string deep(1000, '(');
    deep += "IDMARCADO = 'S'" + std::string(1000, ')');
    EXPECT_THROW(countWhere(ds, deep), std::invalid_argument);
}

TEST(Filter, FilteringMovesToTheFirstRowAndFollowsPostedEdits) {
    TClientDataSet ds(requisitionFields());
    ds.SetData(sampleRequisitions());
    ds.SetFilter("no such syntax (");  // not applied while unfiltered
    EXPECT_THROW(ds.SetFiltered(true), std::invalid_argument);
    EXPECT_FALSE(ds.Filtered());

    ds.SetFilter("NRPEDEXOL IS NULL");
    ds.MoveTo(2);
    ds.SetFiltered(true);
    EXPECT_EQ(ds.RecordCount(), 3);
    EXPECT_EQ(ds.RecNo(), 0);
    EXPECT_THROW(ds.SetFilter("IDMARCADO ="), std::invalid_argument);
    EXPECT_EQ(ds.Filter(), "NRPEDEXOL IS NULL");  // a rejected expression changes nothing
    EXPECT_EQ(ds.RecordCount(), 3);

    ds.MoveTo(1);
    ds.Edit();
    ds.FieldByName("NRPEDEXOL").SetAsString("PED002");
    ds.Post();  // no longer passes: leaves the view
    EXPECT_EQ(ds.RecordCount(), 2);
    EXPECT_EQ(ds.FieldByName("NMSERVICO").AsString(), "Ceia");
    ds.SetFiltered(false);
    EXPECT_EQ(ds.RecordCount(), 4);
    EXPECT_EQ(ds.Data().rows[1][4].asString(), "PED002");
}
