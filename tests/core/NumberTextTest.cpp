#include <gtest/gtest.h>

#include <climits>

#include "core/CsvCell.h"
#include "core/NumberText.h"

using namespace krv;

TEST(NumberText, CountsGroupThousandsWithDots) {
    const std::vector<std::pair<int64_t, std::string>> cases = {{0, "0"},
                                                                {999, "999"},
                                                                {1000, "1.000"},
                                                                {2604, "2.604"},
                                                                {999999, "999.999"},
                                                                {1000000, "1.000.000"},
                                                                {-1000, "-1.000"},
                                                                {INT64_MIN, "-9.223.372.036.854.775.808"}};
    for (const auto& [n, text] : cases) EXPECT_EQ(countText(n), text);
    EXPECT_EQ(countedText(1, "pedido", "pedidos"), "1 pedido");
    EXPECT_EQ(countedText(2604, "pedido", "pedidos"), "2.604 pedidos");
}

// The noise of sums and products of doubles never reaches the user: a quantity shows three
// decimals, or as many of the stored six as it has.
TEST(NumberText, QuantitiesShowAtLeastThreeDecimalsAndNoNoise) {
    const std::vector<std::pair<double, std::string>> cases = {
        {9.767999999999999, "9,768"},
        {40.656000000000006, "40,656"},
        {1044.9599999999998, "1.044,960"},
        {0.19294909434393048, "0,192949"},
        {0.0125, "0,0125"},
        {660, "660,000"},
        {1234567.5, "1.234.567,500"},
        {999.9999996, "1.000,000"},
        {0.0000004, "0,000"},
        {-0.0000004, "0,000"},
        {-2.5, "-2,500"},
    };
    for (const auto& [value, text] : cases) EXPECT_EQ(quantityText(value), text) << value;
}

// Rounded as stored, to the nearest sixth decimal, and what a CSV then carries
// has no digit past the sixth decimal.
TEST(NumberText, StoredQuantitiesHaveSixDecimalsInEveryForm) {
    const std::vector<std::pair<double, double>> cases = {
        {0.1 + 0.2, 0.3}, {0.612000000000001, 0.612}, {59.95500000000004, 59.955},           {0.00000051, 0.000001},
        {0.00000049, 0},  {1.0000016, 1.000002},      {123456789.1234564, 123456789.123456}, {-0.00000051, -0.000001}};
    for (const auto& [value, stored] : cases) {
        EXPECT_EQ(roundedQuantity(value), stored) << value;
        const std::string cell = csvNumberCell(roundedQuantity(value));
        const size_t comma = cell.find(',');
        EXPECT_LE(comma == std::string::npos ? 0 : cell.size() - comma - 1, 6u) << cell;
    }
}
