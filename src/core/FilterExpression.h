#pragma once
#include <functional>
#include <memory>
#include <string>

#include "DataPacket.h"

namespace krv {

// A compiled data-set filter: field names, 'quoted' strings (a quote doubled inside),
// numbers, = <> < > <= >=, IS [NOT] NULL, AND, OR, NOT and parentheses; keywords and
// field names in any case.
//
// Comparisons take the kind of the field: text compares exactly, byte for byte; numbers
// numerically; dates as dates (a literal as 'dd/mm/yyyy' or 'yyyy-mm-dd'); flags as S/N.
// Null and the empty string are the same "blank": IS NULL holds for both, and in text
// comparisons a blank reads as ''. A blank number, date or flag satisfies no comparison.
class FilterExpression {
public:
    // Finds a field by name: its index in the row and its type; false when there is none.
    using FieldResolver = std::function<bool(const std::string& name, int& index, FieldType& type)>;

    // Throws std::invalid_argument, saying what is wrong and where, for a bad expression,
    // an unknown field or operands that cannot be compared.
    static std::shared_ptr<const FilterExpression> compile(const std::string& text, const FieldResolver& resolve);

    bool matches(const Row& row) const;

    struct Node;
    explicit FilterExpression(std::unique_ptr<const Node> root);
    ~FilterExpression();

private:
    std::unique_ptr<const Node> root_;
};

}  // namespace krv
