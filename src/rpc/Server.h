#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "rpc/Dispatcher.h"
#include "rpc/Login.h"

namespace krv::rpc {

struct ServerOptions {
    std::string bindAddress = "127.0.0.1";
    uint16_t port = 0;  // 0 = any free port; see Server::port()
    std::string token;  // shared token; empty = no authentication
    // Operator login (["auth", operator, password]). Set, every connection must log in, or
    // present the token when there is one; empty with no token, the server is open.
    LoginCheck login;
    size_t maxFrameBytes = 64u << 20;
    unsigned threads = 4;
    // Threads that run the methods the dispatcher marks as writing, beside the workers.
    unsigned writerThreads = 1;
    // Receives a line for each connection closed for bad traffic or a refused token; empty = silent.
    // Called from the worker and writer threads.
    std::function<void(const std::string&)> log;
};

// Asio TCP server of the wire protocol. Each connection is served independently; a bad
// frame closes only its own connection.
class Server {
public:
    Server(const Dispatcher& dispatcher, ServerOptions options);
    ~Server();
    void start();           // binds and starts the worker threads; ENetError on bind failure
    uint16_t port() const;  // the bound port
    void stop();            // closes the listener and every connection, joins the workers;
                            // a stopped server is not started again
    void wait();            // blocks until stop() (from a signal handler thread, say)

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace krv::rpc
