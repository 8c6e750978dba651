#pragma once
#include <cstddef>
#include <string>
#include <vector>

#include "server/storage/Database.h"

namespace krv::server {

// Rows of several tables written as multi-row inserts. Tables are flushed in the order
// they were declared, so a table declared after the ones it refers to never sends a row
// before its parent's; and they are flushed together whenever enough values are waiting,
// so a large seed never holds all its rows in memory.
class RowBatches {
public:
    explicit RowBatches(db::Connection& connection) : c_(connection) {}
    RowBatches(const RowBatches&) = delete;
    RowBatches& operator=(const RowBatches&) = delete;
    ~RowBatches() = default;  // unflushed rows are dropped: a seed that failed writes nothing

    // Declares "INSERT INTO table (columns)"; the returned index names it in add().
    size_t table(const std::string& table, const std::string& columns, size_t columnCount);
    void add(size_t table, db::Params row);
    void flush();

private:
    struct Table {
        std::string insert;
        size_t columns;
        std::vector<db::Params> rows;
    };
    db::Connection& c_;
    std::vector<Table> tables_;
    size_t waiting_ = 0;
};

}  // namespace krv::server
