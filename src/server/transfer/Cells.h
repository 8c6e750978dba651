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

// How a file writes its numbers, which follows from its field separator as in the
// spreadsheets that save them: ";" files use a decimal comma and may group thousands with
// dots ("1.234,5"), "," files a decimal point and no grouping ("1234.5").
enum class DecimalMark { Comma, Point };
DecimalMark decimalMarkOf(char fieldSeparator);

// The cell read as the column wants it, or the reason it cannot be, in Portuguese.
struct CellReading {
    Value value;
    std::string problem;   // empty when the cell was read
    bool padded = false;   // a code of digits completed with zeros on the left
    bool trimmed = false;  // a code written with spaces around it, taken off
};
CellReading readCell(std::string_view cell, const Column& column, DecimalMark mark);

// The cell as a Brazilian spreadsheet reads it back into the same value.
std::string writeCell(const Value& value);

// The values of these columns as one text, for maps of keys; the second form fills `out`,
// whose memory the next key reuses.
std::string keyText(const Record& record, const std::vector<int>& columns);
void keyText(const Record& record, const std::vector<int>& columns, std::string& out);

}  // namespace krv::server::transfer
