#pragma once
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>

#include <asio.hpp>
#include <asio/thread_pool.hpp>

#include "rpc/ByteBudget.h"
#include "rpc/ConnectionShares.h"
#include "rpc/Dispatcher.h"
#include "rpc/Message.h"
#include "rpc/PeerStream.h"
#include "rpc/Server.h"

namespace krv::rpc {

class ClientSession;

// The sessions of the server's open connections: how they share the connection cap, and all
// of them for stop() to close. Thread-safe.
class ClientSessionSet {
public:
    explicit ClientSessionSet(ConnectionShares::Limits limits) : shares_(limits) {}

    struct Admission {
        ConnectionShares::Verdict verdict;
        std::shared_ptr<ClientSession> evicted;  // to be closed for the new one, when one had to
    };
    Admission add(const std::shared_ptr<ClientSession>& session, const std::string& address, bool anonymous);
    // The session logged in; false when the logged-in sessions already fill their share.
    bool promote(const ClientSession* session);
    void remove(const ClientSession* session);
    void closeAll();  // only once the worker threads have stopped
    struct Counts {
        size_t loggedIn, anonymous;
    };
    Counts counts();
    ConnectionShares::Limits limits();
    // A reloaded configuration's cap and shares, for the connections accepted from now on.
    void setLimits(ConnectionShares::Limits limits);

private:
    std::mutex mutex_;
    ConnectionShares shares_;
    std::unordered_map<const ClientSession*, std::weak_ptr<ClientSession>> live_;
};

// What every connection of one server shares.
struct SessionShared {
    const Dispatcher& dispatcher;
    const ServerOptions& options;  // its log already summarises repeated refusals
    ClientSessionSet& sessions;
    ByteBudget& pendingBytes;
    ByteBudget& answerBytes;
    asio::ssl::context* tls;     // null: frames in clear
    asio::thread_pool& writers;       // runs the methods that write
    asio::thread_pool& largeReaders;  // runs the reads that may answer megabytes
};

// The server's side of one client's connection, from accept to close. At most one read or write is pending at a time,
// so its handlers never run concurrently and need no strand: receive whole frames, decode, dispatch, write the answer,
// receive again. Reads and writes are asynchronous, so a slow or silent client holds no worker thread; one deadline
// timer closes a connection that is idle too long, slow to finish a frame, to take an answer or to shake hands. A
// method that writes runs on the writer pool instead, and receiving resumes once its answer is sent.
class ClientSession : public std::enable_shared_from_this<ClientSession> {
public:
    ClientSession(asio::ip::tcp::socket socket, SessionShared& shared);
    ~ClientSession();
    void start();
    void close();  // on the session's own thread, or once the worker threads have stopped
    // Closes it from any thread, on its own.
    void closeSoon();

private:
    struct Reply {
        std::string frame;
        bool thenClose = false;
    };

    enum class Waiting { Handshake, Login, Frame, Idle, Answer };

    void handshake();
    void receive();
    // The deadline of what the connection now waits for; a frame keeps the one of its first byte.
    void await(Waiting what);
    void pauseDeadline();
    void armTimer();
    void onTimer(const std::error_code& error);
    void expire();
    size_t frameLimit() const;
    // Holds `bytes` in the inbox, counted against the server's budget; false when it is spent.
    bool hold(size_t bytes);
    // Whether the budget has room now for the inbox to grow to `bytes`; nothing is held.
    bool canHold(size_t bytes) const;
    static size_t counted(size_t inboxBytes);
    void dropForBudget();
    void releaseUnused();
    // Consumes the whole frame at the front of the inbox; nullopt when the connection was dropped or when the answer
    // comes later (answerOffWorker or a delayed login refusal).
    std::optional<Reply> answer(size_t frameSize);
    std::optional<Reply> answerAuth(const std::optional<AuthRequest>& auth);
    std::optional<Reply> answerLogin(const AuthRequest& auth);
    void finishLogin(bool accepted);
    bool promoted();
    // While its login waits in the queue, nothing is read; this notices the client leaving.
    void watchForHangUp();
    std::optional<Reply> answerRequest(Variant body);
    Reply replyTo(const Request& request, const Outcome& outcome);
    Reply agreeCompression(const Request& request);
    // The answer's frames, one after the other, each compressed when that was agreed; throws
    // std::length_error when a frame would be over the frame limit.
    std::string answerFrames(int64_t id, const Outcome& outcome) const;
    void answerOffWorker(asio::thread_pool& pool, std::function<Reply()> call);
    // "Servidor ocupado: …": the answers' budget has no room for one more large answer.
    std::string busyFrame(int64_t id) const;
    bool sendAtOnce(Reply reply);
    // Gives back the answer's share of the budget; `sent`: its memory too.
    void releaseAnswer(bool sent);
    void drop(const std::string& reason);

    PeerStream stream_;
    const Dispatcher& dispatcher_;
    const ServerOptions& options_;
    ClientSessionSet& owner_;
    ByteBudget& pendingBytes_;
    ByteBudget& answerBytes_;
    asio::thread_pool& writers_;
    asio::thread_pool& largeReaders_;
    std::string peer_;
    bool authenticated_;
    Caller caller_;
    std::string inbox_;    // received bytes not yet answered, then room for the pending read
    size_t received_ = 0;  // of inbox_, the bytes that did arrive
    std::string outbox_;
    size_t held_ = 0;        // bytes of pendingBytes_ this connection holds (see counted())
    size_t answerHeld_ = 0;  // bytes of answerBytes_ its outbox holds
    // Read by the login queue's threads through LoginRequest::stillWanted.
    std::atomic<bool> closed_{false};
    bool loginPending_ = false;
    // Both ways once the client asked for it; answers are also made on the writers' threads.
    std::atomic<bool> compressed_{false};
    std::atomic<bool> inParts_{false};  // answers in parts, once the client asked for them
    bool answeredAny_ = false;
    asio::steady_timer timer_;
    Waiting waiting_ = Waiting::Idle;
    std::chrono::steady_clock::time_point due_;
};

}  // namespace krv::rpc
