#include "RowStash.h"

#include <iterator>

namespace krv::rowstash {
namespace {

std::vector<Row>& kept() {
    thread_local std::vector<Row> rows;
    return rows;
}

}  // namespace

void keep(std::vector<Row>&& rows) { kept() = std::move(rows); }

std::vector<Row> takeList(size_t rowCount) {
    std::vector<Row> rows = std::move(kept());
    kept().clear();
    if (rows.size() > rowCount) rows.erase(rows.begin() + std::ptrdiff_t(rowCount), rows.end());
    // The same rule as for one row: a short list must not keep the room of a long one.
    if (rows.capacity() > 2 * rowCount + 16) {
        std::vector<Row> smaller;
        smaller.reserve(rowCount);
        std::move(rows.begin(), rows.end(), std::back_inserter(smaller));
        return smaller;
    }
    rows.reserve(rowCount);
    return rows;
}

void release() { std::vector<Row>().swap(kept()); }

}  // namespace krv::rowstash
