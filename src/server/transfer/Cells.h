#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "core/DateTime.h"
#include "server/transfer/RecordKinds.h"

namespace krv::server::transfer {

// One value of a record as stored: null, text, whole number, quantity or date.
using Value = std::variant<std::monostate, std::string, int64_t, double, DateTime>;
using Record = std::vector<Value>;

// The cell read as the column wants it, or the reason it cannot be, in Portuguese.
struct CellReading {
    Value value;
    std::string problem;  // empty when the cell was read
};
CellReading readCell(std::string_view cell, const Column& column);

// The cell as a Brazilian spreadsheet reads it back into the same value.
std::string writeCell(const Value& value);

// The values of these columns as one text, for maps of keys; the second form fills `out`,
// whose memory the next key reuses.
std::string keyText(const Record& record, const std::vector<int>& columns);
void keyText(const Record& record, const std::vector<int>& columns, std::string& out);

}  // namespace krv::server::transfer
