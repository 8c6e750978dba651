#include "RowStash.h"

namespace krv::rowstash {
namespace {

std::vector<Row>& kept() {
    thread_local std::vector<Row> rows;
    return rows;
}

}  // namespace

void keep(std::vector<Row>&& rows) { kept() = std::move(rows); }

Row take(size_t width) {
    std::vector<Row>& rows = kept();
    if (rows.empty()) return {};
    Row row = std::move(rows.back());
    rows.pop_back();
    if (!rows.empty()) prefetch(rows.back());
    // A row laid out for a much wider list would hold its unused room for as long as
    // the new list lives: that one is freed instead.
    if (row.capacity() > 2 * width) return {};
    return row;
}

void release() { std::vector<Row>().swap(kept()); }

}  // namespace krv::rowstash
