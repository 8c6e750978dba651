#pragma once
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "DataPacket.h"
#include "Variant.h"

namespace krv::codec {

// MessagePack encoding of Variants (see docs/protocol.md):
// nil, bool, integer, float64, UTF-8 string, array; a DateTime is the timestamp
// extension (type -1); a DataPacket is extension type 2 whose bytes are the
// MessagePack encoding of [fields, rows], fields = [[name, type, size], …].
constexpr int8_t kPacketExtType = 2;
// A data packet whose rows travel in the frames after the one that carries it (an answer in
// parts): its bytes are the MessagePack encoding of [fields, row count].
constexpr int8_t kPacketRowsFollowExtType = 3;

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

// The rows of a packet left out of an encoding, to be sent after it.
struct FollowingRows {
    std::string bytes;         // each row's encoding, one after the other
    std::vector<size_t> ends;  // where each row ends in `bytes`
};
// Appends `value` with the rows of each packet whose rows take more than `above` bytes left
// out (type 3) and added to `following`, in the order the packets appear.
void encodeTo(std::string& out, const Variant& value, size_t above, std::vector<FollowingRows>& following);

// The packets of a decoded value whose rows are still to come, in the order they appeared.
class RowsToCome {
public:
    bool done() const { return next_ == packets_.size(); }
    // One part: the MessagePack array [row, …] of rows for the first packet still short of
    // rows. Throws EDecodeError when it is malformed or holds more rows than that packet lacks.
    void add(std::string_view part, const Limits& limits = {});
    // For the decoder: the packet `held`, which it just made, waits for `rows` more rows.
    void expect(const Variant& held, size_t rows);

private:
    struct Waiting {
        Variant held;  // keeps the packet while its rows come, whoever else lets go of it
        DataPacket* packet;
        CheckedForms* forms;
        size_t left;
    };
    std::vector<Waiting> packets_;
    size_t next_ = 0;
};
// Decodes a value whose packets may have their rows to come (type 3); without `toCome` that
// type is refused like any unknown extension.
Variant decode(std::string_view bytes, const Limits& limits, RowsToCome& toCome);

std::string encodePacket(const DataPacket& packet);                          // [fields, rows]
DataPacket decodePacket(std::string_view bytes, const Limits& limits = {});  // of encodePacket

}  // namespace krv::codec
