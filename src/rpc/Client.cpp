#include "rpc/Client.h"

#include <asio.hpp>

#include "core/Codec.h"
#include "core/Errors.h"
#include "rpc/Frame.h"
#include "rpc/Message.h"
#include "rpc/NetErrors.h"

namespace krv::rpc {

using asio::ip::tcp;

// Every blocking step runs asynchronously on a private io_context for at most the
// time-out, so a silent server can never hang the caller.
struct Client::Impl {
    asio::io_context io;
    tcp::socket socket{io};
    Endpoint endpoint;
    int64_t lastId = 0;

    std::string where() const { return endpoint.host + ":" + std::to_string(endpoint.port); }

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

    // Runs the queued operations; false when the time-out passed first. On a time-out
    // the operations are cancelled and their handlers run before returning, so nothing
    // refers to this frame's locals afterwards.
    template <class Cancel>
    bool runWithTimeout(Cancel cancel) {
        io.restart();
        io.run_for(endpoint.timeout);
        if (io.stopped())
            return true;
        cancel();
        closeSocket();
        io.restart();
        io.run();
        return false;
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
                                       if (!error)
                                           asio::async_connect(socket, addresses, onConnected);
                                   });
        }
        if (!runWithTimeout([&] { resolver.cancel(); }))
            fail(timeoutText());
        if (result)
            fail("Não foi possível conectar ao servidor " + where() + ": " + describe(result));
        // Calls are small request/response pairs; Nagle's delay would dominate them.
        socket.set_option(tcp::no_delay(true), result);
        if (!endpoint.token.empty())
            authenticate();
    }

    void authenticate() {
        const std::optional<bool> accepted = readAuthAnswer(exchange(authFrame(endpoint.token)));
        if (!accepted)
            failInvalid("resposta de autenticação esperada");
        if (!*accepted)
            fail("O servidor " + where() + " recusou o token de acesso");
    }

    // Writes one frame and reads the answering frame, within one time-out.
    Variant exchange(const std::string& request) {
        if (frame::bodySize(request) > endpoint.maxFrameBytes)
            fail("Pedido não enviado ao servidor " + where() + ": " +
                 frame::oversizeText(frame::bodySize(request), endpoint.maxFrameBytes));
        std::error_code result = asio::error::would_block;
        size_t oversize = 0;
        frame::Header header{};
        std::string body;
        asio::async_write(socket, asio::buffer(request), [&](const std::error_code& error, size_t) {
            if ((result = error))
                return;
            asio::async_read(socket, asio::buffer(header), [&](const std::error_code& error, size_t) {
                if ((result = error))
                    return;
                const size_t length = frame::bodyLength(header);
                if (length > endpoint.maxFrameBytes) {
                    oversize = length;
                    return;
                }
                body.resize(length);
                asio::async_read(socket, asio::buffer(body),
                                 [&](const std::error_code& error, size_t) { result = error; });
            });
        });
        if (!runWithTimeout([] {}))
            fail(timeoutText());
        if (oversize)
            failInvalid(frame::oversizeText(oversize, endpoint.maxFrameBytes));
        if (peerClosed(result))
            fail("Conexão encerrada pelo servidor " + where());
        if (result)
            fail("Falha de comunicação com o servidor " + where() + ": " + describe(result));
        try {
            codec::Limits limits;
            limits.maxBytes = endpoint.maxFrameBytes;
            return codec::decode(body, limits);
        } catch (const EDecodeError& error) {
            failInvalid(error.what());
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

void Client::close() noexcept {
    impl_->closeSocket();
}

bool Client::connected() const {
    return impl_->socket.is_open();
}

Variant Client::call(const std::string& object, const std::string& method, std::vector<Variant>& args) {
    if (!connected())
        throw ENetError("Sem conexão com o servidor " + impl_->where());
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
    if (!response.ok)
        throw EServerError(response.result.str());
    if (response.args.size() != args.size())
        impl_->failInvalid(std::to_string(response.args.size()) + " argumentos devolvidos para " +
                           std::to_string(args.size()) + " enviados");
    args = std::move(response.args);
    return std::move(response.result);
}

}  // namespace krv::rpc
