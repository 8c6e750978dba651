#pragma once
#include <chrono>
#include <functional>
#include <string>

namespace krv::rpc {

// An operator's login as a connection presented it.
struct LoginRequest {
    std::string operatorName;
    std::string password;
    std::string address;  // the peer's address without its port: what failures are counted by
};

struct LoginAnswer {
    bool accepted = false;
    // How long the refusal waits before it is answered; it grows with an address's failures,
    // so guessing passwords gets slower the more one guesses.
    std::chrono::milliseconds delay{0};
};

// Checks a login; called on a worker thread, so it may take the time a slow hash takes.
using LoginCheck = std::function<LoginAnswer(const LoginRequest&)>;

}  // namespace krv::rpc
