#pragma once
#include <cstdint>
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

// What decoding established about a packet's rows, so that loading it into a data set
// need not check them all again: each row holds one cell per field, and each cell is null
// or of the type its field keeps (a double for a float field), valid UTF-8 if text. Empty
// texts, which a data set keeps as null, are left as they came; their rows are listed.
// Only the codec makes these (see Variant::checkedForms).
struct CheckedForms {
    std::vector<uint32_t> rowsWithEmptyText;  // ascending
};

}  // namespace krv
