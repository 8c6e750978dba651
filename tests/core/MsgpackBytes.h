#pragma once
// Hand-built MessagePack for codec tests: what another peer, or an attacker, might send.
#include <msgpack.hpp>

#include <sstream>
#include <string>

namespace krv::test {

template <typename T>
std::string mp(const T& value) {
    std::stringstream out;
    msgpack::pack(out, value);
    return out.str();
}

inline std::string ext(int8_t type, const std::string& body) {
    std::stringstream out;
    msgpack::packer<std::stringstream> pk(out);
    pk.pack_ext(body.size(), type);
    pk.pack_ext_body(body.data(), uint32_t(body.size()));
    return out.str();
}

inline std::string bytes(std::initializer_list<int> values) {
    std::string s;
    for (int v : values) s += char(v);
    return s;
}

}  // namespace krv::test
