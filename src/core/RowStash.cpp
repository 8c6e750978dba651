#include "RowStash.h"

namespace krv::rowstash {
namespace {

std::vector<Row>& kept() {
    thread_local std::vector<Row> rows;
    return rows;
}

}  // namespace

void keep(std::vector<Row>&& rows) { kept() = std::move(rows); }

Row take() {
    std::vector<Row>& rows = kept();
    if (rows.empty()) return {};
    Row row = std::move(rows.back());
    rows.pop_back();
    if (!rows.empty()) prefetch(rows.back());
    return row;
}

void release() { std::vector<Row>().swap(kept()); }

}  // namespace krv::rowstash
