#pragma once
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "rpc/Dispatcher.h"
#include "rpc/Login.h"

namespace krv::rpc {

struct ServerOptions {
    std::string bindAddress = "127.0.0.1";
    uint16_t port = 0;  // 0 = any free port; see Server::port()
    std::string token;  // shared token; empty = no authentication
    // Operator login (["auth", operator, password]). Set, every connection must log in, or
    // present the token when there is one; empty with no token, the server is open.
    LoginCheck login;
    size_t maxFrameBytes = 64u << 20;
    unsigned threads = 4;
    // Threads that run the methods the dispatcher marks as writing, beside the workers.
    unsigned writerThreads = 1;
    // Threads that run the reads the dispatcher marks as large; 0: one less than the cores,
    // at least one, so that building large answers leaves a core to the small calls.
    unsigned largeReadThreads = 0;
    // Receives a line for each connection closed for bad traffic or a refused token; empty = silent.
    // Called from the worker and writer threads. Repeated refusals from one address come as
    // one line per burst with their count.
    std::function<void(const std::string&)> log;
    // An address refused nothing for this long has ended its burst; 0 logs every refusal.
    std::chrono::milliseconds refusalQuiet{2000};

    // TLS: with both files (PEM) every connection shakes hands in TLS 1.2 or later before
    // its first frame; with neither, frames travel in clear.
    std::string tlsCertFile;
    std::string tlsKeyFile;

    // The database this server answers for, as clients compare it when they connect again
    // (see ServerIdentity.h); empty: the clients compare nothing.
    std::string identity;

    // What a hostile or broken client may hold; see docs/protocol.md, "Limits and time-outs".
    size_t maxLoginFrameBytes = 4096;  // before the auth answer is true
    // Unfinished frames of logged-in connections, together; one connection holds at most one
    // frame (maxFrameBytes), half of it. Connections still logging in are not counted here:
    // their share of the cap times maxLoginFrameBytes bounds them, so their few KiB are always there.
    size_t maxPendingBytes = 128u << 20;
    // Answers built and not yet taken by their clients, together. Past it, an answer larger
    // than kSmallAnswerBytes is replaced by a "servidor ocupado" refusal; one answer always fits.
    size_t maxAnswerBytes = 64u << 20;
    std::chrono::milliseconds handshakeTimeout{10000};
    std::chrono::milliseconds frameTimeout{30000};  // from a frame's first byte to its last
    // From the connection (or its handshake) to the whole auth frame; the time its check
    // waits in the login queue does not count.
    std::chrono::milliseconds loginTimeout{5000};
    std::chrono::milliseconds idleTimeout{30 * 60 * 1000};
    size_t maxConnections = 0;  // 0: min(1000, half the process's file limit)
    // Of the cap, the connections that have not logged in yet; 0: a quarter of it.
    size_t maxAnonymousConnections = 0;
    // Several screens behind one address (a kitchen's network, NAT) may log in at once.
    size_t maxAnonymousPerAddress = 32;
};

// Answers up to this size are never refused for the answers' budget: a lookup still gets its
// answer while large ones wait for slow readers.
inline constexpr size_t kSmallAnswerBytes = 64 * 1024;

// The connections a server holds now.
struct ConnectionCount {
    size_t open = 0;
    size_t loggedIn = 0;  // of open: those an operator has logged in on
};

// The connection cap a server gets when ServerOptions::maxConnections is 0.
size_t defaultMaxConnections();

// 127.0.0.0/8, ::1 (also as ::ffff:127.x.y.z) and "localhost": no other machine reaches it.
bool isLoopback(const std::string& host);

// Asio TCP server of the wire protocol. Each connection is served independently; a bad
// frame closes only its own connection.
class Server {
public:
    Server(const Dispatcher& dispatcher, ServerOptions options);
    ~Server();
    void start();           // binds and starts the worker threads; ENetError on bind failure
    uint16_t port() const;  // the bound port
    void stop();            // closes the listener and every connection, joins the workers;
                            // a stopped server is not started again
    void wait();            // blocks until stop() (from a signal handler thread, say)
    ConnectionCount connections() const;
    // What a running server takes without a restart: the TLS certificate and key (for the
    // connections accepted from now on; a server started without TLS stays without) and the
    // connection cap. Throws ENetError, keeping the old ones, when the files cannot be read.
    void reload(const ServerOptions& changed);

    // What the connections hold now, as the server accounts it.
    struct Usage {
        size_t loggedIn = 0;
        size_t anonymous = 0;       // not logged in yet
        size_t pendingBytes = 0;    // of unfinished frames, counted against maxPendingBytes
        size_t answerBytes = 0;     // of answers waiting for their readers, against maxAnswerBytes
    };
    Usage usage() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace krv::rpc
