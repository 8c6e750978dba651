#pragma once
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>

#include <asio.hpp>
#include <asio/thread_pool.hpp>

#include "rpc/Dispatcher.h"
#include "rpc/Message.h"
#include "rpc/Server.h"

namespace krv::rpc {

class ClientSession;

// The sessions of the server's open connections, so stop() can close them all.
class ClientSessionSet {
public:
    void add(const std::shared_ptr<ClientSession>& session);
    void remove(const ClientSession* session);
    void closeAll();  // only once the worker threads have stopped

private:
    std::mutex mutex_;
    std::unordered_map<const ClientSession*, std::weak_ptr<ClientSession>> live_;
};

// The server's side of one client's connection, from accept to close. At most one read or write is pending at a time,
// so its handlers never run concurrently and need no strand: receive whole frames, decode, dispatch, write the answer,
// receive again. Reads and writes are asynchronous, so a slow or silent client holds no worker thread. A method that
// writes runs on the writer pool instead, and receiving resumes once its answer is sent.
class ClientSession : public std::enable_shared_from_this<ClientSession> {
public:
    ClientSession(asio::ip::tcp::socket socket, const Dispatcher& dispatcher, const ServerOptions& options,
                  ClientSessionSet& owner, asio::thread_pool& writers);
    ~ClientSession();
    void start();
    void close();  // only once the worker threads have stopped

private:
    struct Reply {
        std::string frame;
        bool thenClose = false;
    };

    void receive();
    // Consumes the whole frame at the front of the inbox; nullopt when the connection was dropped or when the answer
    // comes later (answerOffWorker or a delayed login refusal).
    std::optional<Reply> answer(size_t frameSize);
    // nullopt when the answer comes later: a refused login is answered after its delay.
    std::optional<Reply> answerAuth(const std::optional<AuthRequest>& auth);
    std::optional<Reply> answerLogin(const AuthRequest& auth);
    std::optional<Reply> answerRequest(Variant body);
    Reply replyTo(const Request& request, const Outcome& outcome) const;
    void answerOffWorker(std::function<Reply()> call);
    bool sendAtOnce(Reply reply);
    void drop(const std::string& reason);

    asio::ip::tcp::socket socket_;
    const Dispatcher& dispatcher_;
    const ServerOptions& options_;
    ClientSessionSet& owner_;
    asio::thread_pool& writers_;
    std::string peer_;
    bool authenticated_;
    Caller caller_;
    std::string inbox_;  // received bytes not yet answered
    std::string outbox_;
};

}  // namespace krv::rpc
