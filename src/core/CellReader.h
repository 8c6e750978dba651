#pragma once
// The codec's own reading of packet rows; nothing outside Codec.cpp includes this.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "DataPacket.h"
#include "DateTime.h"

namespace krv::codec::detail {

constexpr int8_t kTimestampExtType = -1;
constexpr uint32_t kNanosPerSecond = 1000000000u;

// Both throw EDecodeError, with the text users see.
[[noreturn]] void fail(const std::string& what);
[[noreturn]] void failPacket(const std::string& what);

uint64_t readBigEndian(const char* at, int bytes);
// A MessagePack unsigned integer as the int64 every integer here is; one above 2^63−1 is
// refused rather than wrapped into a negative number.
int64_t checkedUnsigned(uint64_t value);
DateTime timestampOf(const char* body, size_t size);          // the body of a timestamp extension
std::string_view checkedText(const char* data, size_t size);  // must be UTF-8

// The item count of the array at `offset`, which moves past its header; false, with
// nothing consumed, when the value there is no array.
bool readArrayHeader(std::string_view bytes, size_t& offset, uint32_t& n);

// Makes `rows` the `rowCount` rows at `offset`, each of one cell per field, over
// the rows a data set let go of while there are any (see RowStash.h), and lists in
// `rowsWithEmptyText` the rows that hold an empty text. A packet's rows are read straight
// from the bytes: a cell is a scalar or a date, and building msgpack's object tree for
// each of a hundred thousand rows cost more than everything else a list load does; so
// the few forms a cell may take are read here, and anything else is refused as a value
// of the wrong type.
void readRows(std::string_view bytes, size_t& offset, uint32_t rowCount, const std::vector<FieldDef>& fields,
              size_t maxStringBytes, std::vector<Row>& rows, std::vector<uint32_t>& rowsWithEmptyText);

}  // namespace krv::codec::detail
