#include "rpc/ClientSession.h"

#include "core/Codec.h"
#include "core/Errors.h"
#include "rpc/Frame.h"
#include "rpc/LogText.h"
#include "rpc/Message.h"
#include "rpc/NetErrors.h"
#include "rpc/Tls.h"

namespace krv::rpc {
namespace {

// A request usually arrives whole in the first read.
constexpr size_t kFirstReadBytes = 4096;
// A large frame is read in pieces of at most this size, as its bytes arrive.
constexpr size_t kMaxReadBytes = 64 * 1024;
// After an unusually large frame the buffer is given back, so that an idle connection
// does not keep megabytes.
constexpr size_t kKeptBufferBytes = 1u << 20;
// Enough for any reason of ours with the client's text it quotes, cut.
constexpr size_t kLoggedReasonChars = 300;

bool sameToken(const std::string& given, const std::string& expected) {
    // Compares every byte whatever the first difference, so timing tells nothing.
    unsigned char difference = given.size() == expected.size() ? 0 : 1;
    for (size_t i = 0; i < expected.size(); ++i)
        difference |= static_cast<unsigned char>((i < given.size() ? given[i] : 0) ^ expected[i]);
    return difference == 0;
}

std::string addressOf(const asio::ip::tcp::socket& socket) {
    std::error_code error;
    const auto remote = socket.remote_endpoint(error);
    return error ? "?" : remote.address().to_string();
}

std::string peerOf(const asio::ip::tcp::socket& socket) {
    std::error_code error;
    const auto remote = socket.remote_endpoint(error);
    return error ? "?" : remote.address().to_string() + ":" + std::to_string(remote.port());
}

}  // namespace

void ClientSessionSet::add(const std::shared_ptr<ClientSession>& session) {
    std::lock_guard lock(mutex_);
    live_[session.get()] = session;
}

void ClientSessionSet::remove(const ClientSession* session) {
    std::lock_guard lock(mutex_);
    live_.erase(session);
}

size_t ClientSessionSet::size() {
    std::lock_guard lock(mutex_);
    return live_.size();
}

void ClientSessionSet::closeAll() {
    std::vector<std::shared_ptr<ClientSession>> open;
    {
        std::lock_guard lock(mutex_);
        for (auto& [key, weak] : live_)
            if (auto session = weak.lock()) open.push_back(std::move(session));
    }
    for (auto& session : open) session->close();
}

ClientSession::ClientSession(asio::ip::tcp::socket socket, SessionShared& shared)
    : stream_(std::move(socket), shared.tls),
      dispatcher_(shared.dispatcher),
      options_(shared.options),
      owner_(shared.sessions),
      pendingBytes_(shared.pendingBytes),
      writers_(shared.writers),
      peer_(peerOf(stream_.socket())),
      authenticated_(shared.options.token.empty() && !shared.options.login),
      caller_{{}, peer_},
      timer_(stream_.socket().get_executor()) {}

ClientSession::~ClientSession() {
    pendingBytes_.give(held_);
    if (countedLogin_) owner_.countLogin(-1);
    owner_.remove(this);
}

void ClientSession::start() {
    std::error_code ignored;
    stream_.socket().set_option(asio::ip::tcp::no_delay(true), ignored);
    await(stream_.tls() ? Waiting::Handshake : Waiting::Idle);
    armTimer();
    if (stream_.tls()) return handshake();
    stream_.socket().non_blocking(true, ignored);
    asio::post(stream_.socket().get_executor(), [self = shared_from_this()] { self->receive(); });
}

void ClientSession::close() {
    closed_ = true;
    timer_.cancel();
    stream_.close();
}

void ClientSession::handshake() {
    stream_.asyncHandshake([self = shared_from_this()](const std::error_code& error) {
        if (self->closed_) return;
        if (error && spokeWithoutTls(error)) answerPlainPeer(self->stream_.socket());
        if (error) return self->drop(describeTlsRefusal(error));
        self->receive();
    });
}

// Answers every whole frame in the inbox, then reads more. A header announcing a large
// frame costs memory only for the bytes that really arrive, and those count against the
// server's budget for unfinished frames.
void ClientSession::receive() {
    for (;;) {
        size_t want = kFirstReadBytes;
        if (inbox_.size() >= frame::kHeaderBytes) {
            frame::Header header;
            std::copy_n(inbox_.begin(), frame::kHeaderBytes, header.begin());
            const size_t length = frame::bodyLength(header);
            if (length > frameLimit()) {
                // A TLS hello read as a header announces some 369 MB.
                if (!answeredAny_ && looksLikeTlsRecord(header[0], header[1]))
                    return drop("o cliente tentou TLS, mas esta porta não usa TLS");
                return drop(frame::oversizeText(length, frameLimit()));
            }
            const size_t frameSize = frame::kHeaderBytes + length;
            if (inbox_.size() >= frameSize) {
                answeredAny_ = true;
                pauseDeadline();
                std::optional<Reply> reply = answer(frameSize);
                releaseUnused();
                if (reply && sendAtOnce(std::move(*reply))) continue;
                return;
            }
            want = std::min(frameSize - inbox_.size(), kMaxReadBytes);
            // One buffer of the frame's size, filled as bytes arrive: growing it step by step
            // would leave the smaller buffers behind in the allocator, resident and unused.
            if (frameSize > inbox_.capacity()) inbox_.reserve(frameSize);
        }
        const size_t before = inbox_.size();
        if (!hold(before + want))
            return drop("memória para quadros incompletos esgotada no servidor (limite de " +
                        std::to_string(pendingBytes_.limit()) + " bytes)");
        // Until login a connection may not linger: it gets the time of one frame, not the idle time.
        await(before == 0 && authenticated_ ? Waiting::Idle : Waiting::Frame);
        received_ = before;
        inbox_.resize(before + want);
        stream_.asyncReadSome(asio::buffer(inbox_.data() + before, want),
                              [self = shared_from_this(), before](std::error_code error, size_t received) {
                                  self->inbox_.resize(before + received);
                                  if (self->closed_) return;
                                  if (!error) return self->receive();
                                  if (before > 0 || (!peerClosed(error) && error != asio::error::operation_aborted))
                                      self->drop("quadro incompleto: " + describe(error));
                                  self->close();
                              });
        return;
    }
}

size_t ClientSession::frameLimit() const {
    return authenticated_ ? options_.maxFrameBytes : std::min(options_.maxLoginFrameBytes, options_.maxFrameBytes);
}

bool ClientSession::hold(size_t bytes) {
    if (bytes <= held_) return true;
    if (!pendingBytes_.take(bytes - held_)) return false;
    held_ = bytes;
    return true;
}

// After a frame is answered the connection keeps counting only the bytes still waiting.
void ClientSession::releaseUnused() {
    if (held_ <= inbox_.size()) return;
    pendingBytes_.give(held_ - inbox_.size());
    held_ = inbox_.size();
}

void ClientSession::await(Waiting what) {
    using namespace std::chrono;
    // A frame's deadline runs from its first byte: a client trickling bytes does not renew it.
    if (what == Waiting::Frame && waiting_ == Waiting::Frame) return;
    waiting_ = what;
    const milliseconds allowed = what == Waiting::Handshake ? options_.handshakeTimeout
                                 : what == Waiting::Idle    ? options_.idleTimeout
                                                            : options_.frameTimeout;
    due_ = steady_clock::now() + allowed;
    // The timer is moved only when the new deadline comes sooner; one that fires early
    // sleeps on until due_, so a call in the usual rhythm costs no timer operation.
    if (due_ < timer_.expiry()) armTimer();
}

// A method may run long, or answer later from another thread: the client is not to blame,
// and the next frame's deadline runs from its own first byte.
void ClientSession::pauseDeadline() {
    waiting_ = Waiting::Idle;
    due_ = std::chrono::steady_clock::time_point::max();
}

void ClientSession::armTimer() {
    timer_.expires_at(due_);
    timer_.async_wait([weak = weak_from_this()](const std::error_code& error) {
        if (auto self = weak.lock()) self->onTimer(error);
    });
}

void ClientSession::onTimer(const std::error_code& error) {
    if (error || closed_) return;
    if (due_ > std::chrono::steady_clock::now()) return armTimer();
    expire();
}

void ClientSession::expire() {
    const auto seconds = [](std::chrono::milliseconds allowed) {
        return std::to_string(allowed.count() / 1000) + "," + std::to_string(allowed.count() % 1000 / 100) + " s";
    };
    switch (waiting_) {
        case Waiting::Handshake:
            return drop("TLS não concluído em " + seconds(options_.handshakeTimeout));
        case Waiting::Frame:
            if (!authenticated_ && received_ == 0) return drop("sem login após " + seconds(options_.frameTimeout));
            return drop("quadro incompleto após " + seconds(options_.frameTimeout) + " (" +
                        std::to_string(received_) + " bytes recebidos)");
        case Waiting::Answer:
            return drop("resposta não recebida pelo cliente em " + seconds(options_.frameTimeout));
        case Waiting::Idle:
            return drop("ociosa por " + seconds(options_.idleTimeout));
    }
}

std::optional<ClientSession::Reply> ClientSession::answer(size_t frameSize) {
    Variant body;
    try {
        codec::Limits limits;
        limits.maxBytes = options_.maxFrameBytes;
        body = codec::decode(std::string_view(inbox_).substr(frame::kHeaderBytes, frameSize - frame::kHeaderBytes),
                             limits);
    } catch (const EDecodeError& error) {
        drop(std::string("mensagem inválida: ") + error.what());
        return std::nullopt;
    }
    inbox_.erase(0, frameSize);
    if (inbox_.empty() && inbox_.capacity() > kKeptBufferBytes) std::string().swap(inbox_);
    if (std::optional<AuthRequest> auth = readAuth(body); auth || !authenticated_) return answerAuth(auth);
    return answerRequest(std::move(body));
}

// With a login or a token configured, the first frame must carry one that is accepted;
// anything else is refused with ["auth", false] and the connection closed. A connection
// that came in with the token has no operator: it may call every method except those that
// take an operator argument, and its lists are shared with the other token connections.
// Without either, an auth frame is simply accepted.
std::optional<ClientSession::Reply> ClientSession::answerAuth(const std::optional<AuthRequest>& auth) {
    if (auth && !auth->token && options_.login) return answerLogin(*auth);
    const bool open = options_.token.empty() && !options_.login;
    const bool accepted =
        open || (auth && auth->token && !options_.token.empty() && sameToken(*auth->token, options_.token));
    if (!accepted && options_.log)
        options_.log("Conexão " + peer_ + " recusada: " +
                     (options_.login ? "operador e senha ausentes" : "token de acesso ausente ou inválido"));
    if (accepted) caller_.operatorName.clear();
    authenticated_ = authenticated_ || accepted;
    return Reply{authAnswerFrame(accepted), !accepted};
}

std::optional<ClientSession::Reply> ClientSession::answerLogin(const AuthRequest& auth) {
    LoginAnswer verdict;
    try {
        verdict = options_.login({auth.operatorName, auth.password, addressOf(stream_.socket())});
    } catch (const std::exception& error) {
        if (options_.log)
            options_.log("Conexão " + peer_ + ": falha ao verificar o login: " +
                         escapeForLog(error.what(), kLoggedReasonChars));
    }
    if (verdict.accepted) {
        authenticated_ = true;
        if (!countedLogin_) owner_.countLogin(+1);
        countedLogin_ = true;
        caller_.operatorName = auth.operatorName;
        return Reply{authAnswerFrame(true), false};
    }
    if (verdict.delay <= std::chrono::milliseconds::zero()) return Reply{authAnswerFrame(false), true};
    // Nothing more is read from this connection meanwhile, and the worker goes on serving
    // the others: the timer holds the session until the refusal leaves.
    auto timer = std::make_shared<asio::steady_timer>(stream_.socket().get_executor(), verdict.delay);
    timer->async_wait([self = shared_from_this(), timer](std::error_code) {
        if (!self->closed_) self->sendAtOnce(Reply{authAnswerFrame(false), true});
    });
    return std::nullopt;
}

std::optional<ClientSession::Reply> ClientSession::answerRequest(Variant body) {
    Request request;
    try {
        request = readRequest(std::move(body));
    } catch (const EDecodeError& error) {
        drop(std::string("mensagem inválida: ") + error.what());
        return std::nullopt;
    }
    const bool writes = dispatcher_.writes(request.object, request.method);
    auto call = [this, request = std::move(request)]() mutable {
        const Outcome outcome = dispatcher_.dispatch(caller_, request.object, request.method, std::move(request.args));
        return replyTo(request, outcome);
    };
    if (!writes) return call();
    answerOffWorker(std::move(call));
    return std::nullopt;
}

ClientSession::Reply ClientSession::replyTo(const Request& request, const Outcome& outcome) const {
    // An answer that cannot be encoded (a malformed packet, text that is not UTF-8) or that
    // the client would refuse as oversized becomes a short refusal saying why, instead of
    // a dropped connection.
    const std::string name = request.object + "." + request.method;
    std::string frame;
    try {
        frame = responseFrame(request.id, outcome);
    } catch (const std::invalid_argument& error) {
        frame = responseFrame(request.id,
                              Outcome{false, "Erro interno: resposta de " + name + " inválida: " + error.what(), {}});
    }
    if (frame::bodySize(frame) > options_.maxFrameBytes)
        frame =
            responseFrame(request.id, Outcome{false,
                                              "Resposta de " + name + " não enviada: " +
                                                  frame::oversizeText(frame::bodySize(frame), options_.maxFrameBytes),
                                              {}});
    return Reply{std::move(frame), false};
}

// A write may wait long for the database's write lock (another process's writer, the busy
// time-out) or simply run long; on the worker it would hold up every other connection of
// that worker, readers included. The connection reads no further frame until the answer
// is sent, so its calls stay one at a time and their answers in order.
void ClientSession::answerOffWorker(std::function<Reply()> call) {
    asio::post(writers_, [self = shared_from_this(), executor = stream_.socket().get_executor(),
                          call = std::move(call)] {
        std::optional<Reply> reply;
        try {
            reply = call();
        } catch (const std::exception& error) {
            if (self->options_.log) self->options_.log(std::string("Erro no servidor: ") + error.what());
        }
        asio::post(executor, [self, reply = std::move(reply)]() mutable {
            if (self->closed_) return;
            if (!reply) return self->close();
            if (self->sendAtOnce(std::move(*reply))) self->receive();
        });
    });
}

// Most answers fit the socket's buffer and leave in one non-blocking write, with no round
// through the scheduler. The rest of a larger one goes out asynchronously and receiving
// resumes after it; false then, and also when the connection was closed.
bool ClientSession::sendAtOnce(Reply reply) {
    outbox_ = std::move(reply.frame);
    std::error_code error;
    const size_t written = stream_.writeNow(asio::buffer(outbox_), error);
    if (error && error != asio::error::would_block && error != asio::error::try_again) {
        close();
        return false;
    }
    if (written == outbox_.size()) {
        if (reply.thenClose) close();
        return !reply.thenClose;
    }
    await(Waiting::Answer);
    stream_.asyncWrite(asio::buffer(outbox_) + written,
                       [self = shared_from_this(), thenClose = reply.thenClose](std::error_code error, size_t) {
                           if (self->closed_) return;
                           if (error || thenClose) return self->close();
                           self->receive();
                       });
    return false;
}

// The reason may quote the client's own bytes (a decode error does), so it is escaped.
void ClientSession::drop(const std::string& reason) {
    if (options_.log) options_.log("Conexão " + peer_ + " encerrada: " + escapeForLog(reason, kLoggedReasonChars));
    close();
}

}  // namespace krv::rpc
