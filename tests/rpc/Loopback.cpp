#include "Loopback.h"

#include "core/Codec.h"
#include "rpc/Frame.h"

namespace krv::rpc::test {

std::function<void(const std::string&)> ServerLog::sink() {
    return [this](const std::string& line) {
        std::lock_guard lock(mutex_);
        lines_.push_back(line);
    };
}

bool ServerLog::contains(const std::string& part) const {
    std::lock_guard lock(mutex_);
    for (const auto& line : lines_)
        if (line.find(part) != std::string::npos) return true;
    return false;
}

void addEcho(Dispatcher& dispatcher) {
    dispatcher.add("Teste", "Eco", {ArgType::Any}, [](std::vector<Variant>& args) { return args[0]; });
}

std::unique_ptr<Server> startServer(const Dispatcher& dispatcher, ServerOptions options) {
    auto server = std::make_unique<Server>(dispatcher, std::move(options));
    server->start();
    return server;
}

Endpoint endpointOf(const Server& server, std::string token) {
    Endpoint endpoint;
    endpoint.port = server.port();
    endpoint.token = std::move(token);
    endpoint.timeout = std::chrono::seconds(10);
    return endpoint;
}

std::unique_ptr<Client> connectedClient(const Server& server, std::string token) {
    auto client = std::make_unique<Client>();
    client->connect(endpointOf(server, std::move(token)));
    return client;
}

RawConnection::RawConnection(uint16_t port) { socket_.connect({asio::ip::make_address("127.0.0.1"), port}); }

void RawConnection::send(const std::string& bytes) { asio::write(socket_, asio::buffer(bytes)); }

bool RawConnection::closedByServer(std::chrono::milliseconds timeout) {
    std::array<char, 4096> sink;
    std::error_code result;
    std::function<void()> readMore = [&] {
        socket_.async_read_some(asio::buffer(sink), [&](std::error_code error, size_t) {
            if (error)
                result = error;
            else
                readMore();
        });
    };
    readMore();
    io_.run_for(timeout);
    return io_.stopped() && (result == asio::error::eof || result == asio::error::connection_reset);
}

std::optional<Response> RawConnection::receive(std::chrono::milliseconds timeout) {
    frame::Header header;
    std::string body;
    std::error_code result = asio::error::timed_out;
    io_.restart();
    asio::async_read(socket_, asio::buffer(header), [&](std::error_code error, size_t) {
        if (error) return void(result = error);
        body.resize(frame::bodyLength(header));
        asio::async_read(socket_, asio::buffer(body), [&](std::error_code error, size_t) { result = error; });
    });
    io_.run_for(timeout);
    if (!io_.stopped()) {
        // The reads still pending refer to this frame's buffers: end them before they go.
        socket_.cancel();
        io_.run();
    }
    if (result) return std::nullopt;
    return readResponse(codec::decode(body));
}

std::string framed(const std::string& body) {
    std::string frame = frame::begin() + body;
    frame::finish(frame);
    return frame;
}

}  // namespace krv::rpc::test
