#include "server/storage/RowBatches.h"

#include <algorithm>
#include <span>
#include <stdexcept>

#include "server/storage/SqlBuilder.h"

namespace krv::server {

namespace {
// Values bound by one statement: below SQLite's and PostgreSQL's limits, and enough rows
// that the cost of a statement disappears.
constexpr size_t kValuesPerStatement = 6000;
// Values held before everything is written.
constexpr size_t kValuesHeld = 200000;
}  // namespace

size_t RowBatches::table(const std::string& table, const std::string& columns, size_t columnCount) {
    tables_.push_back({"INSERT INTO " + table + " (" + columns + ") VALUES ", columnCount, {}});
    return tables_.size() - 1;
}

void RowBatches::add(size_t table, db::Params row) {
    Table& t = tables_.at(table);
    if (row.size() != t.columns) throw std::logic_error("Linha com número errado de valores para " + t.insert);
    t.rows.push_back(std::move(row));
    waiting_ += t.columns;
    if (waiting_ >= kValuesHeld) flush();
}

void RowBatches::flush() {
    for (Table& t : tables_) {
        const std::span<const db::Params> rows(t.rows);
        const size_t perStatement = std::max<size_t>(1, kValuesPerStatement / t.columns);
        for (size_t from = 0; from < rows.size(); from += perStatement) {
            db::Sql sql;
            sql(t.insert).rows(rows.subspan(from, std::min(perStatement, rows.size() - from)),
                               [](const db::Params& row) { return row; });
            c_.execute(sql.text(), sql.params());
        }
        t.rows.clear();
    }
    waiting_ = 0;
}

}  // namespace krv::server
