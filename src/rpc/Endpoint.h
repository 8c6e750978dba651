#pragma once
#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace krv::rpc {

// A "HOST:PORT" text taken apart; an IPv6 host comes without its brackets.
struct HostPort {
    std::string host;
    uint16_t port = 0;
};

// Where a client connects, and how it talks there.
struct Endpoint {
    std::string host = "127.0.0.1";
    uint16_t port = 0;
    std::string token;  // shared token; empty = none
    // Operator login: the first frame is ["auth", operatorName, password]; empty = no login.
    std::string operatorName;
    std::string password;
    // TLS: the server's certificate is verified against caFile (empty: the system's CAs)
    // and its name against host.
    bool tls = false;
    std::string caFile;
    std::chrono::milliseconds timeout{30000};
    size_t maxFrameBytes = 64u << 20;
    // Asks the server after login for compressed frames (rpc/Compression.h); a server that does
    // not know them is talked to as before.
    bool compression = false;
    // Asks the server after login for answers in parts (rpc/AnswerParts.h), so that a list
    // larger than a frame can come, and its rows are decoded as they arrive.
    bool answersInParts = false;
    // An answer in parts, all its frames together, decompressed.
    size_t maxAnswerBytes = size_t(1) << 30;
    // Further servers on the same database, in the order they are tried when the one in use
    // cannot be reached or is lost; they talk as host:port does (TLS, login).
    std::vector<HostPort> alternates;
};

// Port 0 means "any free port" to a listening server and nothing at all to a client.
enum class PortZero { Refused, AnyFreePort };

// The one reading of a "HOST:PORT" text, shared by every command line that takes an address:
// - the port follows the last ':' and is decimal digits only, 1 to 65535 (0 too with
//   PortZero::AnyFreePort);
// - the host is not empty and holds no blanks; an IPv6 address goes in brackets
//   ("[::1]:7420"), since its own colons would otherwise hide where the port begins.
// Host names are not looked up here. Throws std::invalid_argument with a Portuguese text
// that quotes the input and says what is wrong.
HostPort parseEndpoint(std::string_view text, PortZero zero = PortZero::Refused);

// The address a client is given for its server: "HOST:PORT" read by parseEndpoint, or
// "tls:HOST:PORT" for a server that speaks TLS.
struct ServerAddress {
    std::string host;
    uint16_t port = 0;
    bool tls = false;
};
ServerAddress parseServerAddress(std::string_view text);
// "a:7420,b:7420": one or more server addresses read by parseServerAddress, all with TLS or
// all without, set as the endpoint's host, port, tls and alternates.
void applyServerList(std::string_view text, Endpoint& endpoint);

// The text parseEndpoint reads back: "host:port", an IPv6 host in brackets.
std::string formatEndpoint(std::string_view host, uint16_t port);

}  // namespace krv::rpc
