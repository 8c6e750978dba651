#pragma once
#include <functional>
#include <string>

namespace krv::rpc {

// An operator's login as a connection presented it.
struct LoginRequest {
    std::string operatorName;
    std::string password;
    std::string address;  // the peer's address without its port: what failures are counted by
    // False once the connection that sent it has closed: a check nobody waits for is dropped
    // before it costs a hash. Callable from any thread.
    std::function<bool()> stillWanted;
};

struct LoginAnswer {
    bool accepted = false;
};

// Called once with a login's verdict, from whatever thread decided it.
using LoginReply = std::function<void(LoginAnswer)>;

// Starts a login's check and returns at once: password hashes are slow and large, so they
// run elsewhere, in turn, never on the thread that serves the connections.
using LoginCheck = std::function<void(LoginRequest, LoginReply)>;

}  // namespace krv::rpc
