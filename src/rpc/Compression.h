#pragma once
#include <cstddef>
#include <stdexcept>
#include <string>
#include <string_view>

// Frames whose body travels compressed with zstd. A compressed body starts with 0xc1, a byte
// MessagePack never uses, then the uncompressed size (4 bytes, big-endian), then one zstd
// frame. Only a connection whose client asked for it, after its login, with the request
// [1, id, "rpc", "Compressao", ["zstd"]] (answered [id, true, "zstd", ["zstd"]]) carries such
// bodies, both ways; an older server answers that request with a refusal and both ends go on
// without compression.
namespace krv::rpc::compression {

inline constexpr const char* kObject = "rpc";
inline constexpr const char* kMethod = "Compressao";
inline constexpr const char* kName = "zstd";
// Smaller bodies gain too little to pay for compressing them.
inline constexpr size_t kThresholdBytes = 16u << 10;
// No body is accepted that would grow more than this on decompression: a frame of a few
// bytes cannot claim gigabytes.
inline constexpr size_t kMaxRatio = 1000;

// A body that could not be decompressed: its text says why, in Portuguese.
struct Invalid : std::runtime_error {
    using std::runtime_error::runtime_error;
};

bool isCompressed(std::string_view body);

// The frame (header and body) with its body compressed, when it is over the threshold and
// compressing makes it smaller within kMaxRatio; otherwise the frame as it was.
std::string compressFrame(std::string frame);

// The MessagePack body inside a compressed body. Throws Invalid when its uncompressed size is
// over `limit` or over kMaxRatio times its compressed size, or when the data is corrupt or
// does not expand to exactly the size it claims.
std::string decompress(std::string_view body, size_t limit);

}  // namespace krv::rpc::compression
