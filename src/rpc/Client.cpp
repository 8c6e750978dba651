#include "rpc/Client.h"

#include <poll.h>

#include <cerrno>
#include <climits>
#include <cstring>

#include <asio.hpp>

#include "core/Codec.h"
#include "core/Errors.h"
#include "rpc/Frame.h"
#include "rpc/Message.h"
#include "rpc/NetErrors.h"

namespace krv::rpc {

using asio::ip::tcp;
using Clock = std::chrono::steady_clock;

namespace {
// Most answers arrive whole in the first read; larger ones are then read to their exact size.
constexpr size_t kFirstReadBytes = 4096;
}  // namespace

// Connecting runs on a private io_context for at most the time-out; calls then use
// non-blocking socket operations and poll() against the same time-out. A silent server
// can never hang the caller.
struct Client::Impl {
    asio::io_context io;
    tcp::socket socket{io};
    Endpoint endpoint;
    int64_t lastId = 0;

    std::string where() const { return formatEndpoint(endpoint.host, endpoint.port); }

    [[noreturn]] void fail(const std::string& text) {
        closeSocket();
        throw ENetError(text);
    }

    [[noreturn]] void failInvalid(const std::string& detail) {
        fail("Resposta inválida do servidor " + where() + ": " + detail);
    }

    void closeSocket() noexcept {
        std::error_code ignored;
        socket.shutdown(tcp::socket::shutdown_both, ignored);
        socket.close(ignored);
    }

    std::string timeoutText() const {
        return "Tempo esgotado aguardando o servidor " + where() + " (" + std::to_string(endpoint.timeout.count()) +
               " ms)";
    }

    void open() {
        std::error_code result = asio::error::would_block;
        auto onConnected = [&](const std::error_code& error, const auto&) { result = error; };
        // A numeric address needs no resolver (whose first use starts a helper thread).
        std::error_code notNumeric;
        const auto address = asio::ip::make_address(endpoint.host, notNumeric);
        tcp::resolver resolver(io);
        if (!notNumeric) {
            asio::async_connect(socket, std::array{tcp::endpoint(address, endpoint.port)}, onConnected);
        } else {
            resolver.async_resolve(endpoint.host, std::to_string(endpoint.port),
                                   [&](const std::error_code& error, const tcp::resolver::results_type& addresses) {
                                       result = error;
                                       if (!error) asio::async_connect(socket, addresses, onConnected);
                                   });
        }
        io.restart();
        io.run_for(endpoint.timeout);
        if (!io.stopped()) {
            // Cancelled handlers still run before this frame's locals they refer to go away.
            resolver.cancel();
            closeSocket();
            io.restart();
            io.run();
            fail(timeoutText());
        }
        if (result) fail("Não foi possível conectar ao servidor " + where() + ": " + describe(result));
        // Calls are small request/response pairs; Nagle's delay would dominate them.
        std::error_code ignored;
        socket.set_option(tcp::no_delay(true), ignored);
        socket.non_blocking(true, ignored);
        if (!endpoint.operatorName.empty()) return logIn();
        if (!endpoint.token.empty()) authenticate();
    }

    void logIn() {
        if (acceptedAuth(authFrame(endpoint.operatorName, endpoint.password))) return;
        closeSocket();
        throw ELoginRefused("O servidor " + where() + " recusou o operador ou a senha");
    }

    void authenticate() {
        if (!acceptedAuth(authFrame(endpoint.token))) fail("O servidor " + where() + " recusou o token de acesso");
    }

    bool acceptedAuth(const std::string& frame) {
        const std::optional<bool> accepted = readAuthAnswer(exchange(frame));
        if (!accepted) failInvalid("resposta de autenticação esperada");
        return *accepted;
    }

    // Writes one frame and reads the answering frame, within one time-out. Plain
    // non-blocking socket calls with poll() for the waits: a call costs about what a bare
    // request/response over TCP costs.
    Variant exchange(const std::string& request) {
        if (frame::bodySize(request) > endpoint.maxFrameBytes)
            fail("Pedido não enviado ao servidor " + where() + ": " +
                 frame::oversizeText(frame::bodySize(request), endpoint.maxFrameBytes));
        const auto deadline = Clock::now() + endpoint.timeout;
        for (size_t sent = 0; sent < request.size();)
            sent += transfer(deadline, POLLOUT, [&](std::error_code& error) {
                return socket.write_some(asio::buffer(request.data() + sent, request.size() - sent), error);
            });

        std::string inbox;
        size_t frameSize = frame::kHeaderBytes;
        while (inbox.size() < frameSize) {
            // The first read takes whatever arrived; then exactly what the frame still lacks.
            const size_t want = inbox.empty() ? kFirstReadBytes : frameSize - inbox.size();
            const size_t before = inbox.size();
            inbox.resize(before + want);
            inbox.resize(before + transfer(deadline, POLLIN, [&](std::error_code& error) {
                             return socket.read_some(asio::buffer(inbox.data() + before, want), error);
                         }));
            if (frameSize == frame::kHeaderBytes && inbox.size() >= frame::kHeaderBytes) {
                frame::Header header;
                std::copy_n(inbox.begin(), frame::kHeaderBytes, header.begin());
                const size_t length = frame::bodyLength(header);
                if (length > endpoint.maxFrameBytes) failInvalid(frame::oversizeText(length, endpoint.maxFrameBytes));
                frameSize += length;
            }
        }
        if (inbox.size() > frameSize) failInvalid("dados além do fim da resposta");
        try {
            codec::Limits limits;
            limits.maxBytes = endpoint.maxFrameBytes;
            return codec::decode(std::string_view(inbox).substr(frame::kHeaderBytes), limits);
        } catch (const EDecodeError& error) {
            failInvalid(error.what());
        }
    }

    // One read or write that moved at least a byte, waiting for the socket when it would block.
    template <class Io>
    size_t transfer(Clock::time_point deadline, short readiness, Io io) {
        for (;;) {
            std::error_code error;
            const size_t moved = io(error);
            if (!error && moved > 0) return moved;
            if (error != asio::error::would_block && error != asio::error::try_again) {
                if (!error || peerClosed(error)) fail("Conexão encerrada pelo servidor " + where());
                fail("Falha de comunicação com o servidor " + where() + ": " + describe(error));
            }
            waitUntilReady(deadline, readiness);
        }
    }

    void waitUntilReady(Clock::time_point deadline, short readiness) {
        for (;;) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
            if (left.count() <= 0) fail(timeoutText());
            pollfd watched{socket.native_handle(), readiness, 0};
            const int ready = ::poll(&watched, 1, int(std::min<int64_t>(left.count(), INT_MAX)));
            // Readable or writable, but also an error or hang-up: the next call tells which.
            if (ready > 0) return;
            if (ready < 0 && errno != EINTR)
                fail("Falha de comunicação com o servidor " + where() + ": " + std::strerror(errno));
        }
    }
};

Client::Client() : impl_(std::make_unique<Impl>()) {}

Client::~Client() = default;

void Client::connect(const Endpoint& endpoint) {
    close();
    impl_->endpoint = endpoint;
    impl_->open();
}

void Client::close() noexcept { impl_->closeSocket(); }

bool Client::connected() const { return impl_->socket.is_open(); }

Variant Client::call(const std::string& object, const std::string& method, std::vector<Variant>& args) {
    if (!connected()) throw ENetError("Sem conexão com o servidor " + impl_->where());
    const int64_t id = ++impl_->lastId;
    Variant answer = impl_->exchange(requestFrame(id, object, method, args));
    if (readAuthAnswer(answer))
        impl_->fail("O servidor " + impl_->where() + " exige autenticação: token de acesso ausente ou inválido");
    Response response;
    try {
        response = readResponse(std::move(answer));
    } catch (const EDecodeError& error) {
        impl_->failInvalid(error.what());
    }
    if (response.id != id)
        impl_->failInvalid("resposta " + std::to_string(response.id) + " recebida para o pedido " + std::to_string(id));
    if (!response.ok) throw EServerError(response.result.str());
    if (response.args.size() != args.size())
        impl_->failInvalid(std::to_string(response.args.size()) + " argumentos devolvidos para " +
                           std::to_string(args.size()) + " enviados");
    args = std::move(response.args);
    return std::move(response.result);
}

}  // namespace krv::rpc
