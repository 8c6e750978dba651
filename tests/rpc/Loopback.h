#pragma once
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include <asio.hpp>

#include "rpc/Client.h"
#include "rpc/Message.h"
#include "rpc/Server.h"

namespace krv::rpc::test {

// Lines the server logs, gathered from its worker threads.
class ServerLog {
public:
    std::function<void(const std::string&)> sink();
    bool contains(const std::string& part) const;
    // For lines the server writes after the client already saw the outcome.
    bool waitFor(const std::string& part, std::chrono::milliseconds timeout = std::chrono::seconds(10)) const;
    size_t count(const std::string& part) const;
    std::vector<std::string> lines() const;

private:
    bool holds(const std::string& part) const;

    mutable std::mutex mutex_;
    mutable std::condition_variable added_;
    std::vector<std::string> lines_;
};

// Object "Teste" with method "Eco": answers its one argument as the payload.
void addEcho(Dispatcher& dispatcher);

// A started server on a free loopback port.
std::unique_ptr<Server> startServer(const Dispatcher& dispatcher, ServerOptions options = {});

Endpoint endpointOf(const Server& server, std::string token = {});

// A client already connected to the server.
std::unique_ptr<Client> connectedClient(const Server& server, std::string token = {});

// A plain socket that sends arbitrary bytes, for traffic no Client would produce.
class RawConnection {
public:
    // From `from`, a loopback address of its own (127.0.0.2, …) to stand for another machine.
    explicit RawConnection(uint16_t port, const std::string& from = "127.0.0.1");
    // False once the server has closed the connection.
    bool send(std::string_view bytes);
    // True when the server closed the connection within the time-out (bytes it sent
    // before closing are skipped).
    bool closedByServer(std::chrono::milliseconds timeout = std::chrono::seconds(10));
    // The next answer the server sends; nullopt when none came whole within the time-out.
    std::optional<Response> receive(std::chrono::milliseconds timeout = std::chrono::seconds(10));
    // The next `count` bytes, or fewer when the time-out comes first.
    std::string receiveBytes(size_t count, std::chrono::milliseconds timeout = std::chrono::seconds(10));
    asio::ip::tcp::socket& socket() { return socket_; }

private:
    asio::io_context io_;
    asio::ip::tcp::socket socket_{io_};
};

// A frame around the given body, with its true length.
std::string framed(const std::string& body);

}  // namespace krv::rpc::test
