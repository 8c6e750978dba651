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

// A kept row, its cells still holding their old values (and text storage) to be
// overwritten; an empty row once none are left, or when the kept one has room for far
// more than `width` cells.
Row take(size_t width);

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
