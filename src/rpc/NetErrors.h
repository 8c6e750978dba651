#pragma once
#include <string>
#include <system_error>

namespace krv::rpc {

// The reason of a socket failure in words an operator reads, e.g. "conexão recusada".
std::string describe(const std::error_code& error);

// End of stream, reset, broken pipe or a TLS stream cut short: the peer went away rather
// than the network failing.
bool peerClosed(const std::error_code& error);

}  // namespace krv::rpc
