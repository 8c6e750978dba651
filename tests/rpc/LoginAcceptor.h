#pragma once
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include <asio.hpp>

#include "core/Variant.h"

namespace krv::rpc::test {

// A loopback listener that stands for a server's login: it reads the first frame of each
// connection, keeps it, and answers ["auth", accepts(frame)]. Later requests are refused as a
// server that knows no such method refuses them (so a client asking for compression goes on
// without); the connection stays open until the client closes it.
class LoginAcceptor {
public:
    explicit LoginAcceptor(std::function<bool(const Variant&)> accepts);
    ~LoginAcceptor();
    LoginAcceptor(const LoginAcceptor&) = delete;
    LoginAcceptor& operator=(const LoginAcceptor&) = delete;

    uint16_t port() const { return port_; }
    // The first frame of every connection so far, decoded, in order of arrival.
    std::vector<Variant> firstFrames() const;

private:
    struct Connection;
    void acceptNext();
    void serve(std::shared_ptr<Connection> connection);
    static void refuseRequests(std::shared_ptr<Connection> connection);

    std::function<bool(const Variant&)> accepts_;
    asio::io_context io_;
    asio::ip::tcp::acceptor acceptor_;
    uint16_t port_ = 0;
    mutable std::mutex mutex_;
    std::vector<Variant> frames_;
    std::thread thread_;
};

// Accepts exactly ["auth", operatorName, password].
std::function<bool(const Variant&)> acceptsOperator(std::string operatorName, std::string password);

}  // namespace krv::rpc::test
