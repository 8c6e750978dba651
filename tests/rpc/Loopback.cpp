#include "Loopback.h"

#include <poll.h>

#include "core/Codec.h"
#include "rpc/Frame.h"

namespace krv::rpc::test {

std::function<void(const std::string&)> ServerLog::sink() {
    return [this](const std::string& line) {
        {
            std::lock_guard lock(mutex_);
            lines_.push_back(line);
        }
        added_.notify_all();
    };
}

bool ServerLog::contains(const std::string& part) const {
    std::lock_guard lock(mutex_);
    return holds(part);
}

bool ServerLog::waitFor(const std::string& part, std::chrono::milliseconds timeout) const {
    std::unique_lock lock(mutex_);
    return added_.wait_for(lock, timeout, [&] { return holds(part); });
}

size_t ServerLog::count(const std::string& part) const {
    std::lock_guard lock(mutex_);
    size_t found = 0;
    for (const auto& line : lines_) found += line.find(part) != std::string::npos;
    return found;
}

std::vector<std::string> ServerLog::lines() const {
    std::lock_guard lock(mutex_);
    return lines_;
}

bool ServerLog::holds(const std::string& part) const {
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

RawConnection::RawConnection(uint16_t port, const std::string& from) {
    socket_.open(asio::ip::tcp::v4());
    socket_.bind({asio::ip::make_address(from), 0});
    socket_.connect({asio::ip::make_address("127.0.0.1"), port});
}

bool RawConnection::send(std::string_view bytes) {
    std::error_code error;
    socket_.non_blocking(false, error);
    asio::write(socket_, asio::buffer(bytes.data(), bytes.size()), error);
    return !error;
}

// poll() rather than an asynchronous read, so it may be asked again and again while the
// test keeps sending.
bool RawConnection::closedByServer(std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    std::error_code ignored;
    socket_.non_blocking(true, ignored);
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        pollfd watched{socket_.native_handle(), POLLIN, 0};
        if (::poll(&watched, 1, int(std::max<int64_t>(0, left.count()))) <= 0) return false;
        std::array<char, 4096> sink;
        std::error_code error;
        socket_.read_some(asio::buffer(sink), error);
        if (error == asio::error::eof || error == asio::error::connection_reset) return true;
        if (error && error != asio::error::would_block) return false;
    }
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

std::string RawConnection::receiveBytes(size_t count, std::chrono::milliseconds timeout) {
    std::string bytes(count, '\0');
    size_t received = 0;
    io_.restart();
    asio::async_read(socket_, asio::buffer(bytes), [&](std::error_code, size_t n) { received = n; });
    io_.run_for(timeout);
    if (!io_.stopped()) {
        socket_.cancel();
        io_.run();
    }
    bytes.resize(received);
    return bytes;
}

std::string framed(const std::string& body) {
    std::string frame = frame::begin() + body;
    frame::finish(frame);
    return frame;
}

}  // namespace krv::rpc::test
