#pragma once
#include <span>
#include <vector>

namespace krv::server::demo {

// The fixed part of the demo catering company: what it buys and what it cooks.
// Codes are generated from the position in these tables, so the order matters.

struct GroupingEntry {
    const char* group;  // CDGRUPPROD
    const char* code;   // CDSUBGRPROD
    const char* name;
};

struct ProductEntry {
    const char* grouping;  // CDSUBGRPROD
    const char* name;
    const char* unit;
    double packageSize;
    int shelfLife;  // days a received package may be used
};

struct Ingredient {
    const char* product;  // product name
    double perCapita;
};

enum class Course { Breakfast, Rice, Beans, Main, Side, Salad, Dessert, Drink, Snack };

struct DishEntry {
    const char* name;
    Course course;
    std::vector<Ingredient> recipe;
};

struct ProductGroupEntry {
    const char* code;
    const char* name;
    char codeDigit;  // first digit of the product codes of the group
};

std::span<const ProductGroupEntry> productGroups();
std::span<const GroupingEntry> groupings();
std::span<const ProductEntry> products();
std::span<const DishEntry> dishes();

}  // namespace krv::server::demo
