#pragma once
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>

#include <asio.hpp>

#include "rpc/Dispatcher.h"
#include "rpc/Frame.h"
#include "rpc/Server.h"

namespace krv::rpc {

class Connection;

// The server's open connections, so stop() can close them all.
class ConnectionSet {
public:
    // False once closeAll() ran: a connection accepted during stop() is not started.
    bool add(const std::shared_ptr<Connection>& connection);
    void remove(const Connection* connection);
    void closeAll();

private:
    std::mutex mutex_;
    bool closed_ = false;
    std::unordered_map<const Connection*, std::weak_ptr<Connection>> live_;
};

// One client's connection. All its handlers run on its own strand, one frame at a time:
// read header, read body, decode, dispatch, write the answer, read the next header.
// Reads and writes are asynchronous, so a slow or silent client holds no worker thread.
class Connection : public std::enable_shared_from_this<Connection> {
public:
    Connection(asio::ip::tcp::socket socket, const Dispatcher& dispatcher, const ServerOptions& options,
               ConnectionSet& owner);
    ~Connection();
    void start();
    void close();  // from any thread

private:
    void readHeader();
    void readBody(size_t length);
    void answer();
    void answerAuth(const std::optional<std::string>& token);
    void answerRequest(Variant body);
    void send(std::string frame, bool thenClose);
    void drop(const std::string& reason);

    asio::ip::tcp::socket socket_;
    const Dispatcher& dispatcher_;
    const ServerOptions& options_;
    ConnectionSet& owner_;
    std::string peer_;
    bool authenticated_;
    frame::Header header_{};
    std::string body_;
    std::string out_;
};

}  // namespace krv::rpc
