#pragma once
#include <string>

namespace krv::rpc {

// The shared token kept in a file (its first line, without surrounding blanks).
// Throws std::runtime_error with a clear text when the file cannot be read or holds no
// token: an empty token would silently turn authentication off.
std::string readTokenFile(const std::string& path);

}  // namespace krv::rpc
