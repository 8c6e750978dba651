#pragma once
#include <stdexcept>
#include <string>

namespace krv {

// A silent end of the running action: the event guard swallows it without a message.
struct EAbort : std::exception {
    const char* what() const noexcept override { return "Operação abortada"; }
};

// A failure the application server reported (a method's [false, message] or a call
// the server refused). The text may be a message key of the calling screen.
struct EServerError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// The transport failed: refused, reset, timed out or malformed traffic.
struct ENetError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Bytes that are not a valid encoding (packet, frame body, variant).
struct EDecodeError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

}  // namespace krv
