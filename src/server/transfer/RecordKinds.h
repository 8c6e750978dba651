#pragma once
#include <string>
#include <vector>

namespace krv::server::transfer {

// How a column's cells are read, checked and written.
enum class ColumnType {
    Code,      // letters and digits, 1 to `size` of them
    Digits,    // exactly `size` digits (product codes; dots of the code picture are dropped)
    Name,      // any text of 1 to `size` characters
    Flag,      // "S" or "N"
    Count,     // a whole number, 0 or more, and no more than `size` when it is given
    Amount,    // a quantity, more than 0
    Quantity,  // a quantity, 0 or more: what a kitchen counted
    Date,
};

struct Column {
    std::string name;  // the table's column and the file's heading
    ColumnType type;
    int size = 0;
    bool key = false;
    bool optional = false;  // an empty cell is a null
    int pad = 0;            // Code: digits only shorter than this get zeros on the left, as the screens do
    // The heading may be left out, as files written before the column existed do: new
    // records then read this text, stored ones keep their value.
    const char* absentAs = nullptr;
    bool notAfterToday = false;  // Date: a day that has not come yet is refused
};

// Columns of a record that name a record of another kind (or of its own), in the order of
// that kind's key.
struct Reference {
    std::vector<int> columns;
    std::string kind;  // the table referred to
};

// Tables outside these files that keep a record alive: requisitions, orders and forecasts
// made from it. Each entry lists the column sets that may hold the record's key.
struct Use {
    std::string table;
    std::string label;
    std::vector<std::vector<std::string>> columnSets;
};

struct RecordKind {
    std::string file;   // "filiais.csv"
    std::string table;  // "branch"
    std::string label;  // "filial", for messages
    std::vector<Column> columns;
    std::vector<Reference> references;
    std::vector<Use> uses;
    bool single = false;  // one row that always exists (the parameters): updated, never added or removed
    // Kinds kept per kitchen (and day): the columns whose values a file covers. Removing what
    // the file no longer lists stays within the kitchens (and days) it has rows for.
    std::vector<int> coverage;
    // Kinds whose records make up a whole (the dishes of a kitchen's service, shift and day):
    // the columns of that whole. What a file no longer lists of a whole it names is replaced.
    std::vector<int> whole;
    // Kinds --remover-ausentes never removes from (what kitchens counted: a file of this
    // week's counts says nothing about last month's, nor about those typed on the screen).
    bool neverRemoved = false;
    // Kinds whose rows the database stamps with who wrote them and when: a changed record is
    // deleted and inserted again, so that the stamp tells the import, not whoever came before.
    bool stamped = false;
    std::vector<int> keys;  // the key's columns, filled in by recordKinds()

    const std::vector<int>& keyColumns() const { return keys; }
    std::string columnNames(const std::vector<int>& indexes) const;  // "cdfilial/cdservfili", for messages
    bool refersTo(const std::string& otherTable) const;
};

// Every kind, each after the kinds it refers to: the order of writing.
const std::vector<RecordKind>& recordKinds();
const RecordKind* kindOfTable(const std::string& table);

}  // namespace krv::server::transfer
