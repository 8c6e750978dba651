#pragma once
#include <memory>
#include <string>
#include <vector>

#include "core/Errors.h"
#include "core/Variant.h"
#include "rpc/Endpoint.h"

namespace krv::rpc {

// The server turned the operator's login down (unknown operator or wrong password): the
// caller may ask again, where any other ENetError means the server cannot be reached.
struct ELoginRefused : ENetError {
    using ENetError::ENetError;
};

// Blocking client of the wire protocol. One call at a time.
class Client {
public:
    Client();
    ~Client();
    Client(const Client&) = delete;
    Client& operator=(const Client&) = delete;

    // Logs in as endpoint.operatorName when it is set, else sends endpoint.token when that is
    // set. Throws ENetError, ELoginRefused when the login was turned down.
    void connect(const Endpoint& endpoint);
    void close() noexcept;
    bool connected() const;

    // Sends [1, id, object, method, args] and waits for the answer.
    // On return every element of `args` holds the value the server sent back for it.
    // Throws ENetError on a transport failure (the connection is then closed) and
    // EServerError when the server refused the call itself (ok = false), and
    // std::invalid_argument, before anything is sent, when an argument cannot be encoded
    // (text that is not UTF-8, a malformed packet).
    Variant call(const std::string& object, const std::string& method, std::vector<Variant>& args);

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace krv::rpc
