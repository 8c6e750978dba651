#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace krv::rpc::frame {

// A frame is a 4-byte big-endian body length followed by the MessagePack body.
constexpr size_t kHeaderBytes = 4;
using Header = std::array<unsigned char, kHeaderBytes>;

// A frame is built in one buffer so that it leaves in one write: begin() reserves the
// header, the body is appended, finish() fills the header in.
std::string begin();
void finish(std::string& frame);

size_t bodySize(const std::string& frame);
size_t bodyLength(const Header& header);

// "quadro de N bytes excede o limite de M bytes": the one text for every refused frame.
std::string oversizeText(size_t bytes, size_t limit);

}  // namespace krv::rpc::frame
