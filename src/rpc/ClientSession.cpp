#include "rpc/ClientSession.h"

#include <malloc.h>
#include <sys/socket.h>

#include <cerrno>

#include "core/Codec.h"
#include "core/Errors.h"
#include "rpc/AnswerParts.h"
#include "rpc/Compression.h"
#include "rpc/Frame.h"
#include "rpc/LogText.h"
#include "rpc/Message.h"
#include "rpc/NetErrors.h"
#include "rpc/ServerIdentity.h"
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

ClientSessionSet::Admission ClientSessionSet::add(const std::shared_ptr<ClientSession>& session,
                                                  const std::string& address, bool anonymous) {
    std::lock_guard lock(mutex_);
    Admission admission{ConnectionShares::Verdict::Admitted, nullptr};
    if (anonymous) {
        const ConnectionShares::Admission counted = shares_.admitAnonymous(session.get(), address);
        admission.verdict = counted.verdict;
        if (counted.evicted) {
            const auto* evicted = static_cast<const ClientSession*>(counted.evicted);
            admission.evicted = live_[evicted].lock();
            live_.erase(evicted);
        }
    } else {
        admission.verdict = shares_.admitLoggedIn(session.get());
    }
    if (admission.verdict == ConnectionShares::Verdict::Admitted) live_[session.get()] = session;
    return admission;
}

bool ClientSessionSet::promote(const ClientSession* session) {
    std::lock_guard lock(mutex_);
    return shares_.promote(session);
}

void ClientSessionSet::remove(const ClientSession* session) {
    std::lock_guard lock(mutex_);
    live_.erase(session);
    shares_.remove(session);
}

ConnectionShares::Limits ClientSessionSet::limits() {
    std::lock_guard lock(mutex_);
    return shares_.limits();
}

void ClientSessionSet::setLimits(ConnectionShares::Limits limits) {
    std::lock_guard lock(mutex_);
    shares_.setLimits(limits);
}

ClientSessionSet::Counts ClientSessionSet::counts() {
    std::lock_guard lock(mutex_);
    return {shares_.loggedIn(), shares_.anonymous()};
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
      answerBytes_(shared.answerBytes),
      writers_(shared.writers),
      largeReaders_(shared.largeReaders),
      peer_(peerOf(stream_.socket())),
      authenticated_(shared.options.token.empty() && !shared.options.login),
      caller_{{}, peer_},
      timer_(stream_.socket().get_executor()) {}

ClientSession::~ClientSession() {
    pendingBytes_.give(held_);
    answerBytes_.give(answerHeld_);
    owner_.remove(this);
    if (outbox_.capacity() > kKeptBufferBytes) {
        std::string().swap(outbox_);
        malloc_trim(0);
    }
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
    releaseAnswer(false);
}

void ClientSession::closeSoon() {
    closed_ = true;
    asio::post(stream_.socket().get_executor(), [self = shared_from_this()] { self->close(); });
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
            // A frame that cannot fit in what the budget has left now is refused at its header:
            // reading megabytes only to refuse them spends a worker on the sender's traffic.
            if (!canHold(frameSize)) return dropForBudget();
            want = std::min(frameSize - inbox_.size(), kMaxReadBytes);
            // One buffer of the frame's size, filled as bytes arrive: growing it step by step
            // would leave the smaller buffers behind in the allocator, resident and unused.
            if (frameSize > inbox_.capacity()) inbox_.reserve(frameSize);
        }
        const size_t before = inbox_.size();
        if (!hold(before + want)) return dropForBudget();
        // Until login a connection may not linger: it gets the short login time, once.
        await(!authenticated_ ? Waiting::Login : before == 0 ? Waiting::Idle : Waiting::Frame);
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

// The first bytes of every inbox never count against the budget: a logged-in screen's small
// requests go through even while large frames hold all of it, and the cap times
// kFirstReadBytes bounds them.
size_t ClientSession::counted(size_t inboxBytes) { return inboxBytes > kFirstReadBytes ? inboxBytes - kFirstReadBytes : 0; }

bool ClientSession::canHold(size_t bytes) const {
    const size_t more = counted(bytes);
    return !authenticated_ || more <= held_ || pendingBytes_.fits(more - held_);
}

void ClientSession::dropForBudget() {
    drop("memória para quadros incompletos esgotada no servidor (limite de " + std::to_string(pendingBytes_.limit()) +
         " bytes)");
}

bool ClientSession::hold(size_t bytes) {
    // Before login the frame limit is a few KiB and the anonymous share bounds how many hold
    // them: a newcomer never finds the budget spent by the frames of logged-in clients.
    const size_t more = counted(bytes);
    if (!authenticated_ || more <= held_) return true;
    if (!pendingBytes_.take(more - held_)) return false;
    held_ = more;
    return true;
}

// After a frame is answered the connection keeps counting only the bytes still waiting.
void ClientSession::releaseUnused() {
    const size_t keep = counted(inbox_.size());
    if (held_ <= keep) return;
    pendingBytes_.give(held_ - keep);
    held_ = keep;
}

void ClientSession::await(Waiting what) {
    using namespace std::chrono;
    // A frame's deadline runs from its first byte, the login's from the connection: a client
    // trickling bytes renews neither.
    if ((what == Waiting::Frame || what == Waiting::Login) && waiting_ == what) return;
    waiting_ = what;
    const milliseconds allowed = what == Waiting::Handshake ? options_.handshakeTimeout
                                 : what == Waiting::Idle    ? options_.idleTimeout
                                 : what == Waiting::Login   ? options_.loginTimeout
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
        case Waiting::Login:
            return drop("sem login após " + seconds(options_.loginTimeout) + " (" + std::to_string(received_) +
                        " bytes recebidos)");
        case Waiting::Frame:
            return drop("quadro incompleto após " + seconds(options_.frameTimeout) + " (" + std::to_string(received_) +
                        " bytes recebidos)");
        case Waiting::Answer:
            return drop("resposta não recebida pelo cliente em " + seconds(options_.frameTimeout));
        case Waiting::Idle:
            return drop("ociosa por " + seconds(options_.idleTimeout));
    }
}

std::optional<ClientSession::Reply> ClientSession::answer(size_t frameSize) {
    Variant body;
    std::string_view bytes = std::string_view(inbox_).substr(frame::kHeaderBytes, frameSize - frame::kHeaderBytes);
    std::string expanded;
    try {
        if (compression::isCompressed(bytes)) {
            if (!compressed_) throw compression::Invalid("quadro comprimido sem compressão combinada após o login");
            expanded = compression::decompress(bytes, options_.maxFrameBytes);
            bytes = expanded;
        }
        codec::Limits limits;
        limits.maxBytes = options_.maxFrameBytes;
        body = codec::decode(bytes, limits);
    } catch (const std::runtime_error& error) {  // compression::Invalid or EDecodeError
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
    const bool presented =
        open || (auth && auth->token && !options_.token.empty() && sameToken(*auth->token, options_.token));
    if (!presented && options_.log)
        options_.log("Conexão " + peer_ + " recusada: " +
                     (options_.login ? "operador e senha ausentes" : "token de acesso ausente ou inválido"));
    const bool accepted = presented && (open || authenticated_ || promoted());
    if (accepted) caller_.operatorName.clear();
    authenticated_ = authenticated_ || accepted;
    return Reply{authAnswerFrame(accepted), !accepted};
}

std::optional<ClientSession::Reply> ClientSession::answerLogin(const AuthRequest& auth) {
    loginPending_ = true;
    caller_.operatorName = auth.operatorName;
    std::weak_ptr<ClientSession> weak = weak_from_this();
    LoginRequest request{auth.operatorName, auth.password, addressOf(stream_.socket()), [weak] {
                             const auto self = weak.lock();
                             return self && !self->closed_;
                         }};
    auto reply = [weak, executor = stream_.socket().get_executor()](LoginAnswer verdict) {
        asio::post(executor, [weak, verdict] {
            if (const auto self = weak.lock(); self && !self->closed_) self->finishLogin(verdict.accepted);
        });
    };
    try {
        options_.login(std::move(request), std::move(reply));
    } catch (const std::exception& error) {
        if (options_.log)
            options_.log("Conexão " + peer_ +
                         ": falha ao verificar o login: " + escapeForLog(error.what(), kLoggedReasonChars));
        loginPending_ = false;
        return Reply{authAnswerFrame(false), true};
    }
    watchForHangUp();
    return std::nullopt;
}

// Counted among the logged-in sessions, or refused when they fill their share of the cap.
bool ClientSession::promoted() {
    if (owner_.promote(this)) return true;
    const ConnectionShares::Limits limits = owner_.limits();
    if (options_.log)
        options_.log("Conexão " + peer_ + " recusada: limite de " + std::to_string(limits.total - limits.anonymous) +
                     " sessões com login atingido");
    return false;
}

void ClientSession::finishLogin(bool accepted) {
    loginPending_ = false;
    accepted = accepted && promoted();
    authenticated_ = accepted;
    if (!accepted) caller_.operatorName.clear();
    if (sendAtOnce(Reply{authAnswerFrame(accepted), !accepted})) receive();
}

// A client that sent its login and left (a flood of connect, login, close does just that)
// must not cost a hash: seeing the end of its stream closes the session, and the queue
// drops a check whose session is closed.
void ClientSession::watchForHangUp() {
    stream_.socket().async_wait(asio::socket_base::wait_read, [self = shared_from_this()](std::error_code error) {
        if (error || self->closed_ || !self->loginPending_) return;
        char byte;
        const ssize_t peeked = ::recv(self->stream_.socket().native_handle(), &byte, 1, MSG_PEEK | MSG_DONTWAIT);
        // Bytes sent ahead of the answer stay for receive(); only the end of the stream counts.
        if (peeked == 0 || (peeked < 0 && errno != EAGAIN && errno != EWOULDBLOCK)) self->close();
    });
}

std::optional<ClientSession::Reply> ClientSession::answerRequest(Variant body) {
    Request request;
    try {
        request = readRequest(std::move(body));
    } catch (const EDecodeError& error) {
        drop(std::string("mensagem inválida: ") + error.what());
        return std::nullopt;
    }
    if (request.object == compression::kObject && request.method == compression::kMethod)
        return agreeCompression(request);
    if (request.object == compression::kObject && request.method == identity::kMethod)
        return Reply{responseFrame(request.id, Outcome{true, options_.identity, request.args}), false};
    if (request.object == compression::kObject && request.method == parts::kMethod) {
        inParts_ = true;
        return Reply{responseFrame(request.id, Outcome{true, true, request.args}), false};
    }
    const Access access = dispatcher_.access(request.object, request.method);
    auto call = [this, access, request = std::move(request)]() mutable {
        // Decided when it would run: an answer built only to be refused would cost the other
        // clients the CPU that building it takes.
        if (access == Access::LargeReads && answerBytes_.isShort()) return Reply{busyFrame(request.id), false};
        const Outcome outcome = dispatcher_.dispatch(caller_, request.object, request.method, std::move(request.args));
        return replyTo(request, outcome);
    };
    if (access == Access::Reads) return call();
    answerOffWorker(access == Access::Writes ? writers_ : largeReaders_, std::move(call));
    return std::nullopt;
}

// From here on both ways, when the client names what this server speaks.
ClientSession::Reply ClientSession::agreeCompression(const Request& request) {
    if (request.args != std::vector<Variant>{compression::kName})
        return Reply{
            responseFrame(request.id, Outcome{false, "Compressão não suportada: use [\"zstd\"].", request.args}),
            false};
    compressed_ = true;
    return Reply{responseFrame(request.id, Outcome{true, compression::kName, request.args}), false};
}

std::string ClientSession::answerFrames(int64_t id, const Outcome& outcome) const {
    std::string frames;
    const auto send = [&](std::string frame) {
        if (frame::bodySize(frame) > options_.maxFrameBytes)
            throw std::length_error(frame::oversizeText(frame::bodySize(frame), options_.maxFrameBytes));
        if (compressed_) frame = compression::compressFrame(std::move(frame));
        if (frames.empty())
            frames = std::move(frame);
        else
            frames += frame;
    };
    if (inParts_)
        responseInParts(id, outcome, parts::kPartBytes, send);
    else
        send(responseFrame(id, outcome));
    return frames;
}

ClientSession::Reply ClientSession::replyTo(const Request& request, const Outcome& outcome) {
    // An answer that cannot be encoded (a malformed packet, text that is not UTF-8) or that
    // the client would refuse as oversized becomes a short refusal saying why, instead of
    // a dropped connection.
    const std::string name = request.object + "." + request.method;
    std::string frame;
    try {
        frame = answerFrames(request.id, outcome);
    } catch (const std::length_error& error) {
        frame = answerFrames(request.id, Outcome{false, "Resposta de " + name + " não enviada: " + error.what(), {}});
    } catch (const std::invalid_argument& error) {
        frame = answerFrames(request.id,
                             Outcome{false, "Erro interno: resposta de " + name + " inválida: " + error.what(), {}});
    }
    if (frame.size() > kSmallAnswerBytes) {
        // The first answer always fits, so an answer larger than the budget is not refused forever.
        if (answerBytes_.take(frame.size()) || answerBytes_.takeWhenEmpty(frame.size())) {
            answerHeld_ = frame.size();
        } else {
            answerBytes_.markShort();
            frame = busyFrame(request.id);
        }
    }
    return Reply{std::move(frame), false};
}

std::string ClientSession::busyFrame(int64_t id) const {
    return responseFrame(id, Outcome{false,
                                     "Servidor ocupado: " + std::to_string(answerBytes_.used() >> 20) +
                                         " MiB de respostas aguardam clientes que ainda não as leram. Tente "
                                         "novamente em instantes.",
                                     {}});
}

// A large answer's memory goes back to the system once it has left, so that clients that
// asked for much and never read do not leave the server's memory grown after they go.
void ClientSession::releaseAnswer(bool sent) {
    if (answerHeld_ == 0) return;
    answerBytes_.give(answerHeld_);
    answerHeld_ = 0;
    // A write cut short by close() may still refer to the outbox until its handler runs; the
    // destructor frees it then.
    if (!sent) return;
    std::string().swap(outbox_);
    malloc_trim(0);
}

// A write may wait long for the database's write lock (another process's writer, the busy
// time-out) or simply run long; on the worker it would hold up every other connection of
// that worker, readers included. The connection reads no further frame until the answer
// is sent, so its calls stay one at a time and their answers in order.
void ClientSession::answerOffWorker(asio::thread_pool& pool, std::function<Reply()> call) {
    asio::post(pool,
               [self = shared_from_this(), executor = stream_.socket().get_executor(), call = std::move(call)] {
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
        releaseAnswer(true);
        if (reply.thenClose) close();
        return !reply.thenClose;
    }
    await(Waiting::Answer);
    stream_.asyncWrite(asio::buffer(outbox_) + written,
                       [self = shared_from_this(), thenClose = reply.thenClose](std::error_code error, size_t) {
                           if (self->closed_) return;
                           if (!error) self->releaseAnswer(true);
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
