#include "rpc/Connection.h"

#include "core/Codec.h"
#include "core/Errors.h"
#include "rpc/Message.h"
#include "rpc/NetErrors.h"

namespace krv::rpc {
namespace {

// After an unusually large frame the body buffer is given back, so that an idle
// connection does not keep megabytes.
constexpr size_t kKeptBufferBytes = 1u << 20;

bool sameToken(const std::string& given, const std::string& expected) {
    // Compares every byte whatever the first difference, so timing tells nothing.
    unsigned char difference = given.size() == expected.size() ? 0 : 1;
    for (size_t i = 0; i < expected.size(); ++i)
        difference |= static_cast<unsigned char>((i < given.size() ? given[i] : 0) ^ expected[i]);
    return difference == 0;
}

std::string peerOf(const asio::ip::tcp::socket& socket) {
    std::error_code error;
    const auto remote = socket.remote_endpoint(error);
    return error ? "?" : remote.address().to_string() + ":" + std::to_string(remote.port());
}

}  // namespace

bool ConnectionSet::add(const std::shared_ptr<Connection>& connection) {
    std::lock_guard lock(mutex_);
    if (closed_)
        return false;
    live_[connection.get()] = connection;
    return true;
}

void ConnectionSet::remove(const Connection* connection) {
    std::lock_guard lock(mutex_);
    live_.erase(connection);
}

void ConnectionSet::closeAll() {
    std::vector<std::shared_ptr<Connection>> open;
    {
        std::lock_guard lock(mutex_);
        closed_ = true;
        for (auto& [key, weak] : live_)
            if (auto connection = weak.lock())
                open.push_back(std::move(connection));
    }
    for (auto& connection : open)
        connection->close();
}

Connection::Connection(asio::ip::tcp::socket socket, const Dispatcher& dispatcher, const ServerOptions& options,
                       ConnectionSet& owner)
    : socket_(std::move(socket)),
      dispatcher_(dispatcher),
      options_(options),
      owner_(owner),
      peer_(peerOf(socket_)),
      authenticated_(options.token.empty()) {}

Connection::~Connection() {
    owner_.remove(this);
}

void Connection::start() {
    std::error_code ignored;
    socket_.set_option(asio::ip::tcp::no_delay(true), ignored);
    asio::post(socket_.get_executor(), [self = shared_from_this()] { self->readHeader(); });
}

void Connection::close() {
    asio::post(socket_.get_executor(), [self = shared_from_this()] {
        std::error_code ignored;
        self->socket_.shutdown(asio::ip::tcp::socket::shutdown_both, ignored);
        self->socket_.close(ignored);
    });
}

void Connection::readHeader() {
    asio::async_read(socket_, asio::buffer(header_), [self = shared_from_this()](std::error_code error, size_t) {
        if (error) {
            if (!peerClosed(error) && error != asio::error::operation_aborted)
                self->drop(describe(error));
            return;
        }
        const size_t length = frame::bodyLength(self->header_);
        if (length > self->options_.maxFrameBytes)
            return self->drop(frame::oversizeText(length, self->options_.maxFrameBytes));
        self->readBody(length);
    });
}

void Connection::readBody(size_t length) {
    if (body_.capacity() > kKeptBufferBytes)
        std::string().swap(body_);
    body_.clear();
    // The dynamic buffer grows as bytes arrive, so a header announcing a large frame
    // costs memory only for what the client really sends.
    asio::async_read(socket_, asio::dynamic_buffer(body_, length), asio::transfer_exactly(length),
                     [self = shared_from_this()](std::error_code error, size_t) {
                         if (error) {
                             if (error != asio::error::operation_aborted)
                                 self->drop("quadro incompleto: " + describe(error));
                             return;
                         }
                         self->answer();
                     });
}

void Connection::answer() {
    Variant body;
    try {
        codec::Limits limits;
        limits.maxBytes = options_.maxFrameBytes;
        body = codec::decode(body_, limits);
    } catch (const EDecodeError& error) {
        return drop(std::string("mensagem inválida: ") + error.what());
    }
    if (std::optional<std::string> token = readAuth(body); token || !authenticated_)
        return answerAuth(token);
    answerRequest(std::move(body));
}

// With a token configured, the first frame must carry it; anything else is refused with
// ["auth", false] and the connection closed. Without one, an auth frame is simply accepted.
void Connection::answerAuth(const std::optional<std::string>& token) {
    const bool accepted = options_.token.empty() || (token && sameToken(*token, options_.token));
    if (!accepted && options_.log)
        options_.log("Conexão " + peer_ + " recusada: token de acesso ausente ou inválido");
    authenticated_ = authenticated_ || accepted;
    send(authAnswerFrame(accepted), !accepted);
}

void Connection::answerRequest(Variant body) {
    Request request;
    try {
        request = readRequest(std::move(body));
    } catch (const EDecodeError& error) {
        return drop(std::string("mensagem inválida: ") + error.what());
    }
    const Outcome outcome = dispatcher_.dispatch(request.object, request.method, std::move(request.args));
    // An answer that cannot be encoded (a malformed packet, text that is not UTF-8) or that
    // the client would refuse as oversized becomes a short refusal saying why, instead of
    // a dropped connection.
    const std::string name = request.object + "." + request.method;
    std::string frame;
    try {
        frame = responseFrame(request.id, outcome);
    } catch (const std::invalid_argument& error) {
        frame = responseFrame(request.id, Outcome{false, "Erro interno: resposta de " + name + " inválida: " + error.what(), {}});
    }
    if (frame::bodySize(frame) > options_.maxFrameBytes)
        frame = responseFrame(request.id,
                              Outcome{false,
                                      "Resposta de " + name + " não enviada: " +
                                          frame::oversizeText(frame::bodySize(frame), options_.maxFrameBytes),
                                      {}});
    send(std::move(frame), false);
}

void Connection::send(std::string frame, bool thenClose) {
    out_ = std::move(frame);
    asio::async_write(socket_, asio::buffer(out_), [self = shared_from_this(), thenClose](std::error_code error, size_t) {
        if (error || thenClose) {
            std::error_code ignored;
            self->socket_.close(ignored);
            return;
        }
        self->readHeader();
    });
}

void Connection::drop(const std::string& reason) {
    if (options_.log)
        options_.log("Conexão " + peer_ + " encerrada: " + reason);
    std::error_code ignored;
    socket_.close(ignored);
}

}  // namespace krv::rpc
