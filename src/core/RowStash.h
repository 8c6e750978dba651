#pragma once
#include <cstddef>
#include <vector>

#include "DataPacket.h"

namespace krv::rowstash {

// Reloading a list used to free a hundred thousand rows and their texts, then allocate as
// many again for the next packet; the allocator's merging of those freed blocks cost more
// than decoding. A data set that replaces its rows leaves them here, and the next packet
// decoded on the same thread builds its rows in their storage. One list at most is kept,
// and the codec frees it at the end of that next decode.
void keep(std::vector<Row>&& rows);

// The kept rows, in their order, to be overwritten in place by a list of `rowCount` rows:
// the rows beyond it are freed, and room for the rest is made. A list reloaded then reuses
// each row, its texts' storage and the list itself; empty when nothing is kept.
std::vector<Row> takeList(size_t rowCount);

// Whether a kept row of that capacity may serve a row of `width` cells: a row laid out for
// a much wider list would hold its unused room for as long as the new list lives.
inline bool fits(const Row& row, size_t width) { return row.capacity() <= 2 * width; }

// Rows lie apart on the heap, so the hardware cannot guess the next one: asking for it
// while the current one is worked on keeps a pass over a whole list from waiting on
// memory at every row.
inline void prefetch(const Row& row) {
    const char* begin = reinterpret_cast<const char*>(row.data());
    const char* end = reinterpret_cast<const char*>(row.data() + row.size());
    for (const char* line = begin; line < end; line += 64) __builtin_prefetch(line);
}

// Frees what the last decode did not use.
void release();

}  // namespace krv::rowstash
