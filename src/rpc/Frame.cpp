#include "rpc/Frame.h"

#include <limits>
#include <stdexcept>

namespace krv::rpc::frame {

std::string begin() { return std::string(kHeaderBytes, '\0'); }

void finish(std::string& frame) {
    const size_t length = bodySize(frame);
    if (length > std::numeric_limits<uint32_t>::max())
        throw std::length_error(oversizeText(length, std::numeric_limits<uint32_t>::max()));
    for (size_t i = 0; i < kHeaderBytes; ++i) frame[i] = char((length >> (8 * (kHeaderBytes - 1 - i))) & 0xFF);
}

size_t bodySize(const std::string& frame) { return frame.size() - kHeaderBytes; }

size_t bodyLength(const Header& header) {
    size_t length = 0;
    for (unsigned char byte : header) length = (length << 8) | byte;
    return length;
}

std::string oversizeText(size_t bytes, size_t limit) {
    return "quadro de " + std::to_string(bytes) + " bytes excede o limite de " + std::to_string(limit) + " bytes";
}

}  // namespace krv::rpc::frame
