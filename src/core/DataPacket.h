#pragma once
#include <string>
#include <vector>

#include "Variant.h"

namespace krv {

enum class FieldType { String, Fixed, Integer, Float, DateTime, Bool };

const char* fieldTypeName(FieldType t);  // "string", "fixed", …
bool fieldTypeFromName(const std::string& name, FieldType& out);

struct FieldDef {
    std::string name;
    FieldType type = FieldType::String;
    int size = 0;  // characters for String/Fixed, 0 otherwise

    bool operator==(const FieldDef&) const = default;
};

using Row = std::vector<Variant>;

// A table travelling between server and client: the field list and the rows,
// each row holding one Variant per field, in field order (null for null).
struct DataPacket {
    std::vector<FieldDef> fields;
    std::vector<Row> rows;

    int fieldIndex(const std::string& name) const;  // case-insensitive; -1 when absent

    bool operator==(const DataPacket&) const = default;
};

}  // namespace krv
