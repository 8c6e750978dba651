#include "rpc/Client.h"

#include <poll.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <optional>

#include <asio.hpp>
#include <asio/ssl.hpp>

#include "core/Codec.h"
#include "core/Errors.h"
#include "rpc/AnswerParts.h"
#include "rpc/Compression.h"
#include "rpc/Frame.h"
#include "rpc/Message.h"
#include "rpc/NetErrors.h"
#include "rpc/ServerIdentity.h"
#include "rpc/Tls.h"

namespace krv::rpc {

using asio::ip::tcp;
using Clock = std::chrono::steady_clock;

namespace {
// Most answers arrive whole in the first read; larger ones are then read to their exact size.
constexpr size_t kFirstReadBytes = 4096;
}  // namespace

// Connecting runs on a private io_context for at most the time-out; calls then use
// non-blocking socket operations and poll() against the same time-out. A silent server
// can never hang the caller. Over TLS the handshake, reads and writes run on that
// io_context instead, each within what is left of the time-out: a TLS record cut short by
// a would-block cannot be resumed by a bare socket call.
struct Client::Impl {
    asio::io_context io;
    tcp::socket socket{io};
    std::optional<asio::ssl::context> tlsContext;
    std::string tlsCaFile;  // what tlsContext trusts
    std::unique_ptr<asio::ssl::stream<tcp::socket&>> tls;
    Endpoint endpoint;
    int64_t lastId = 0;
    // Which of the endpoint's servers is in use: 0 is host:port, then its alternates.
    size_t current = 0;
    // Between connect() and close(): a connection lost meanwhile is made again by the next call.
    bool wanted = false;
    bool compressed = false;  // agreed with the server of this connection
    bool inParts = false;     // likewise
    std::string carry;        // bytes read past the last frame, the start of the next
    // The database the first server of connect() answered for; empty: not told.
    std::optional<std::string> identity;
    // How far the call under way got: a request not yet written whole cannot have run.
    // An answer that came but was not understood is told as such.
    enum class Stage { Preparing, Writing, Reading, Answered } stage = Stage::Preparing;

    size_t servers() const { return 1 + endpoint.alternates.size(); }
    HostPort server() const {
        return current == 0 ? HostPort{endpoint.host, endpoint.port} : endpoint.alternates[current - 1];
    }
    std::string where() const { return formatEndpoint(server().host, server().port); }

    // Tries the servers from `first` on, round the list once, and keeps the first that answers.
    // A refused login is an answer: the servers share their operators.
    void openFrom(size_t first) {
        std::string failures;
        for (size_t k = 0; k < servers(); ++k) {
            current = (first + k) % servers();
            try {
                return open();
            } catch (const ELoginRefused&) {
                throw;
            } catch (const ENetError& e) {
                if (servers() == 1) throw;
                failures += (failures.empty() ? "" : "; ") + std::string(e.what());
            }
        }
        throw ENetError("Nenhum dos servidores respondeu: " + failures);
    }

    // Nothing arrives between calls unless the server closed the connection (an idle time-out,
    // a restart): then the socket reads as ready.
    bool lostWhileIdle() {
        if (!socket.is_open()) return true;
        pollfd watched{socket.native_handle(), POLLIN, 0};
        return ::poll(&watched, 1, 0) != 0;
    }

    // The connection is made again before a call when it was lost since the last one, on the
    // next server of the list: the lost one is tried last.
    void reconnectIfLost() {
        if (!lostWhileIdle()) return;
        closeSocket();
        openFrom((current + 1) % servers());
    }

    [[noreturn]] void fail(const std::string& text) {
        closeSocket();
        throw ENetError(text);
    }

    [[noreturn]] void failInvalid(const std::string& detail) {
        stage = Stage::Answered;
        fail("Resposta inválida do servidor " + where() + ": " + detail);
    }

    void closeSocket() noexcept {
        std::error_code ignored;
        socket.shutdown(tcp::socket::shutdown_both, ignored);
        socket.close(ignored);
        tls.reset();
        carry.clear();
    }

    std::string timeoutText() const {
        return "Tempo esgotado aguardando o servidor " + where() + " (" + std::to_string(endpoint.timeout.count()) +
               " ms)";
    }

    void open() {
        const HostPort at = server();
        std::error_code result = asio::error::would_block;
        auto onConnected = [&](const std::error_code& error, const auto&) { result = error; };
        // A numeric address needs no resolver (whose first use starts a helper thread).
        std::error_code notNumeric;
        const auto address = asio::ip::make_address(at.host, notNumeric);
        tcp::resolver resolver(io);
        if (!notNumeric) {
            asio::async_connect(socket, std::array{tcp::endpoint(address, at.port)}, onConnected);
        } else {
            resolver.async_resolve(at.host, std::to_string(at.port),
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
        if (endpoint.tls)
            shakeHands(Clock::now() + endpoint.timeout);
        else
            socket.non_blocking(true, ignored);
        compressed = false;
        inParts = false;
        if (!endpoint.operatorName.empty())
            logIn();
        else if (!endpoint.token.empty())
            authenticate();
        if (endpoint.compression) agreeCompression();
        if (endpoint.answersInParts) agreeParts();
        checkIdentity();
    }

    // A server on another database (another company, a restored copy, a test base) is not
    // where the open screen's lists and orders are: nothing is sent to it.
    void checkIdentity() {
        const Response response = askProtocol(identity::kMethod, {});
        const std::string told = response.ok && response.result.isString() ? response.result.str() : std::string();
        if (!identity) {
            identity = told;
            return;
        }
        if (told.empty() || identity->empty() || told == *identity) return;
        fail("O servidor " + where() + " agora responde por outro banco de dados (" + told + "; antes: " + *identity +
             "). Nada foi enviado a ele: feche a tela e conecte-se de novo.");
    }

    // A server that does not know the request refuses it, and the connection goes on as before.
    void agreeCompression() {
        const Response response = askProtocol(compression::kMethod, {compression::kName});
        compressed = response.ok && response.result == Variant(compression::kName);
    }

    void agreeParts() {
        const Response response = askProtocol(parts::kMethod, {});
        inParts = response.ok && response.result == Variant(true);
    }

    // One of the protocol's own requests on the connection being opened.
    Response askProtocol(const char* method, const std::vector<Variant>& args) {
        const int64_t id = ++lastId;
        return answerTo(id, exchange(requestFrame(id, compression::kObject, method, args)));
    }

    // Sends one request and reads its answer, sending it again on a new connection when it
    // could not be written.
    Response roundTrip(const std::string& object, const std::string& method, const std::vector<Variant>& args) {
        const int64_t id = ++lastId;
        return answerTo(id, send(requestFrame(id, object, method, args)));
    }

    // The answer to request `id`, which must be that one's.
    Response answerTo(int64_t id, Variant answer) {
        if (readAuthAnswer(answer))
            fail("O servidor " + where() + " exige autenticação: token de acesso ausente ou inválido");
        Response response;
        try {
            response = readResponse(std::move(answer));
        } catch (const EDecodeError& error) {
            failInvalid(error.what());
        }
        if (response.id != id)
            failInvalid("resposta " + std::to_string(response.id) + " recebida para o pedido " + std::to_string(id));
        return response;
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

    // Verifies the server's chain against the CA file and its name against the host the
    // caller asked for, so a machine that took over the address cannot pose as the server.
    void shakeHands(Clock::time_point deadline) {
        // Loading the CAs costs more than a handshake; kept while the caller keeps the same file.
        if (!tlsContext || tlsCaFile != endpoint.caFile) {
            tlsContext.reset();
            tlsContext.emplace(clientTlsContext(endpoint.caFile));
            tlsCaFile = endpoint.caFile;
        }
        tls = std::make_unique<asio::ssl::stream<tcp::socket&>>(socket, *tlsContext);
        const std::string host = server().host;
        std::error_code notNumeric;
        asio::ip::make_address(host, notNumeric);
        if (notNumeric) SSL_set_tlsext_host_name(tls->native_handle(), host.c_str());
        bool nameMismatch = false;
        tls->set_verify_callback([&nameMismatch, check = asio::ssl::host_name_verification(host)](
                                     bool preverified, asio::ssl::verify_context& context) {
            const bool verified = check(preverified, context);
            nameMismatch = nameMismatch || (preverified && !verified);
            return verified;
        });
        const std::error_code error = awaitTls(deadline, [&](auto done) {
                                          tls->async_handshake(asio::ssl::stream_base::client, std::move(done));
                                      }).first;
        if (error)
            fail(describeTlsFailure(where(), host, error, SSL_get_verify_result(tls->native_handle()), nameMismatch));
    }

    // Runs one asynchronous TLS operation on the private io_context until it completes or
    // the deadline passes.
    template <class Start>
    std::pair<std::error_code, size_t> awaitTls(Clock::time_point deadline, Start start) {
        std::optional<std::pair<std::error_code, size_t>> outcome;
        start([&outcome](const std::error_code& error, size_t moved = 0) { outcome.emplace(error, moved); });
        io.restart();
        while (!outcome && io.run_one_until(deadline) > 0) {
        }
        if (!outcome) {
            // The cancelled operation still completes before `outcome` goes away.
            std::error_code ignored;
            socket.close(ignored);
            io.restart();
            io.run();
            fail(timeoutText());
        }
        return *outcome;
    }

    // One read or write of at least a byte, over TLS or the bare socket.
    size_t readSome(Clock::time_point deadline, char* into, size_t size) {
        if (tls)
            return movedOverTls(awaitTls(
                deadline, [&](auto done) { tls->async_read_some(asio::buffer(into, size), std::move(done)); }));
        return transfer(deadline, POLLIN,
                        [&](std::error_code& error) { return socket.read_some(asio::buffer(into, size), error); });
    }

    size_t writeSome(Clock::time_point deadline, const char* from, size_t size) {
        if (tls)
            return movedOverTls(awaitTls(
                deadline, [&](auto done) { tls->async_write_some(asio::buffer(from, size), std::move(done)); }));
        return transfer(deadline, POLLOUT,
                        [&](std::error_code& error) { return socket.write_some(asio::buffer(from, size), error); });
    }

    size_t movedOverTls(const std::pair<std::error_code, size_t>& outcome) {
        const auto& [error, moved] = outcome;
        if (!error) return moved;
        if (peerClosed(error)) fail("Conexão encerrada pelo servidor " + where());
        fail("Falha de comunicação com o servidor " + where() + ": " + describe(error));
    }

    // Writes one frame and reads the answer, within one time-out; each further frame of an
    // answer in parts has a time-out of its own. Plain non-blocking socket calls with poll()
    // for the waits: a call costs about what a bare request/response over TCP costs.
    Variant exchange(const std::string& plain) {
        if (frame::bodySize(plain) > endpoint.maxFrameBytes)
            fail("Pedido não enviado ao servidor " + where() + ": " +
                 frame::oversizeText(frame::bodySize(plain), endpoint.maxFrameBytes));
        const std::string packed = compressed ? compression::compressFrame(plain) : std::string();
        const std::string& request = compressed ? packed : plain;
        const auto deadline = Clock::now() + endpoint.timeout;
        stage = Stage::Writing;
        for (size_t sent = 0; sent < request.size();)
            sent += writeSome(deadline, request.data() + sent, request.size() - sent);
        stage = Stage::Reading;

        codec::Limits limits;
        limits.maxBytes = endpoint.maxFrameBytes;
        codec::RowsToCome toCome;
        Variant answer = decoded(readFrame(deadline), [&](std::string_view body) {
            // Not agreed, a packet whose rows follow is an extension this client does not know.
            return inParts ? codec::decode(body, limits, toCome) : codec::decode(body, limits);
        });
        // What the parts expand to is bounded, not what they take on the wire.
        for (size_t received = 0; !toCome.done();)
            decoded(readFrame(Clock::now() + endpoint.timeout), [&](std::string_view body) {
                received += body.size();
                if (received > endpoint.maxAnswerBytes)
                    failInvalid("resposta em partes acima de " + std::to_string(endpoint.maxAnswerBytes) + " bytes");
                toCome.add(body, limits);
                return Variant();
            });
        if (!carry.empty()) failInvalid("dados além do fim da resposta");
        return answer;
    }

    // `decode` of the frame's body, decompressed when it came so.
    template <class Decode>
    Variant decoded(const std::string& frame, Decode decode) {
        std::string_view body = std::string_view(frame).substr(frame::kHeaderBytes);
        std::string expanded;
        try {
            // Not agreed, the mark is no more than bytes MessagePack refuses.
            if (compressed && compression::isCompressed(body)) {
                expanded = compression::decompress(body, endpoint.maxFrameBytes);
                body = expanded;
            }
            return decode(body);
        } catch (const compression::Invalid& error) {
            failInvalid(error.what());
        } catch (const EDecodeError& error) {
            failInvalid(error.what());
        }
    }

    // The next whole frame; bytes read past its end are kept for the one after.
    std::string readFrame(Clock::time_point deadline) {
        std::string inbox = std::move(carry);
        carry.clear();
        size_t frameSize = 0;  // not known until the header is in
        while (frameSize == 0 || inbox.size() < frameSize) {
            if (frameSize == 0 && inbox.size() >= frame::kHeaderBytes) {
                frame::Header header;
                std::copy_n(inbox.begin(), frame::kHeaderBytes, header.begin());
                const size_t length = frame::bodyLength(header);
                // A TLS alert read as a header announces some 335 MB.
                if (length > endpoint.maxFrameBytes && !tls && looksLikeTlsRecord(header[0], header[1]))
                    fail("O servidor " + where() +
                         " exige conexão segura (TLS): conecte com TLS (--ca ARQUIVO ou o prefixo tls: no endereço)");
                if (length > endpoint.maxFrameBytes) failInvalid(frame::oversizeText(length, endpoint.maxFrameBytes));
                frameSize = frame::kHeaderBytes + length;
                continue;
            }
            // Until the header is in, whatever arrived; then exactly what the frame still lacks.
            const size_t want = frameSize == 0 ? kFirstReadBytes : frameSize - inbox.size();
            const size_t before = inbox.size();
            inbox.resize(before + want);
            inbox.resize(before + readSome(deadline, inbox.data() + before, want));
        }
        carry = inbox.substr(frameSize);
        inbox.resize(frameSize);
        return inbox;
    }

    // A request that could not be written whole never ran: it goes once more over a new
    // connection. One that was written may have run, and is never sent again unasked.
    Variant send(const std::string& request) {
        stage = Stage::Preparing;
        try {
            return exchange(request);
        } catch (const ENetError& e) {
            if (stage == Stage::Reading)
                throw ENetError(std::string(e.what()) +
                                ". O pedido chegou ao servidor e pode ter sido executado: confira antes de repeti-lo");
            if (stage != Stage::Writing) throw;
        }
        openFrom((current + 1) % servers());
        return exchange(request);
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
    impl_->identity.reset();
    impl_->openFrom(0);
    impl_->wanted = true;
}

void Client::close() noexcept {
    impl_->wanted = false;
    impl_->closeSocket();
}

bool Client::connected() const { return impl_->socket.is_open(); }

Variant Client::call(const std::string& object, const std::string& method, std::vector<Variant>& args) {
    if (!impl_->wanted) throw ENetError("Sem conexão com o servidor " + impl_->where());
    impl_->reconnectIfLost();
    Response response = impl_->roundTrip(object, method, args);
    if (!response.ok) throw EServerError(response.result.str());
    if (response.args.size() != args.size())
        impl_->failInvalid(std::to_string(response.args.size()) + " argumentos devolvidos para " +
                           std::to_string(args.size()) + " enviados");
    args = std::move(response.args);
    return std::move(response.result);
}

}  // namespace krv::rpc
