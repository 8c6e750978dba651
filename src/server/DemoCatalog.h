#pragma once
#include <span>
#include <vector>

namespace krv::server::demo {

// The fixed part of the demo catering company: what it buys and what it cooks.
// Codes are generated from the position in these tables, so the order matters.

struct GroupingSpec {
    const char* group;  // CDGRUPPROD
    const char* code;   // CDSUBGRPROD
    const char* name;
};

struct ProductSpec {
    const char* grouping;  // CDSUBGRPROD
    const char* name;
    const char* unit;
    double packageSize;
};

struct Ingredient {
    const char* product;  // product name
    double perCapita;
};

enum class Course { Breakfast, Rice, Beans, Main, Side, Salad, Dessert, Drink, Snack };

struct DishSpec {
    const char* name;
    Course course;
    std::vector<Ingredient> recipe;
};

struct ProductGroupSpec {
    const char* code;
    const char* name;
    char codeDigit;  // first digit of the product codes of the group
};

std::span<const ProductGroupSpec> productGroups();
std::span<const GroupingSpec> groupings();
std::span<const ProductSpec> products();
std::span<const DishSpec> dishes();

}  // namespace krv::server::demo
