#include <gtest/gtest.h>

#include <stdexcept>

#include "core/Params.h"

using namespace krv;

TEST(Params, NamesAreCaseInsensitiveAndTypesFollowTheValue) {
    TParams params({"P_CDFILIAL", "P_DATAINI"});
    EXPECT_TRUE(ExistParam(params, "p_cdfilial"));
    EXPECT_FALSE(ExistParam(params, "P_ORDENA"));
    EXPECT_EQ(params.FindParam("P_ORDENA"), nullptr);
    EXPECT_THROW(params.ParamByName("P_ORDENA"), std::out_of_range);
    EXPECT_EQ(&params.Add("p_dataini"), &params.ParamByName("P_DATAINI"));  // no duplicate
    EXPECT_EQ(params.Items().size(), 2u);

    TParam& branch = params.ParamByName("P_CDFILIAL");
    branch.SetAsString("0001");
    EXPECT_EQ(branch.DataType(), FieldType::String);
    EXPECT_EQ(branch.Value(), Variant("0001"));
    branch.SetAsInteger(7);
    EXPECT_EQ(branch.DataType(), FieldType::Integer);

    TParam& start = params.ParamByName("P_DATAINI");
    start.SetAsVariant(DateTime::fromDate(2024, 3, 1));
    EXPECT_EQ(start.DataType(), FieldType::DateTime);
    start.SetAsVariant(Variant());
    EXPECT_EQ(start.DataType(), FieldType::DateTime);  // a null keeps the type
    EXPECT_TRUE(start.Value().isNull());
    start.SetAsVariant(2.5);
    EXPECT_EQ(start.DataType(), FieldType::Float);
    EXPECT_THROW(start.SetAsVariant(Variant(Variant::Array{})), std::invalid_argument);
    EXPECT_EQ(start.Value(), Variant(2.5));
}
