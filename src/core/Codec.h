#pragma once
#include <cstddef>
#include <string>
#include <string_view>

#include "DataPacket.h"
#include "Variant.h"

namespace krv::codec {

// MessagePack encoding of Variants (see docs/protocol.md):
// nil, bool, integer, float64, UTF-8 string, array; a DateTime is the timestamp
// extension (type -1); a DataPacket is extension type 2 whose bytes are the
// MessagePack encoding of [fields, rows], fields = [[name, type, size], …].
constexpr int8_t kPacketExtType = 2;

// Bounds that decoding enforces so hostile bytes can neither crash nor exhaust memory.
struct Limits {
    size_t maxBytes = 64u << 20;        // whole input
    size_t maxDepth = 32;               // nesting of arrays and packets
    size_t maxElements = 16u << 20;     // array items + packet cells, summed over the input
    size_t maxStringBytes = 16u << 20;  // one string
};

std::string encode(const Variant& value);
void encodeTo(std::string& out, const Variant& value);  // appends

// Decodes exactly one value that must span the whole input.
// Throws EDecodeError with a clear text on anything malformed.
Variant decode(std::string_view bytes, const Limits& limits = {});

std::string encodePacket(const DataPacket& packet);                          // [fields, rows]
DataPacket decodePacket(std::string_view bytes, const Limits& limits = {});  // of encodePacket

}  // namespace krv::codec
