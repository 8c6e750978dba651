#pragma once
#include <cstddef>

// Answers in parts. A list of a large company's month is more than one frame may hold, and
// decoding it whole would hold its bytes and its rows at once. A client that asks after its
// login with [1, id, "rpc", "Partes", []] (answered [id, true, true, []]) gets each answer whose
// packets' rows take more than kPartBytes in several frames: the answer itself, where such a
// packet carries only [fields, row count] (extension type 3), then frames of rows ([row, …]),
// each of about kPartBytes, in the order the packets appear, filling one packet before the next.
// Each frame is within the frame limit and may be compressed like any other. A server without
// the method refuses it, and its answers come whole.
namespace krv::rpc::parts {

inline constexpr const char* kMethod = "Partes";
inline constexpr size_t kPartBytes = 4u << 20;

}  // namespace krv::rpc::parts
