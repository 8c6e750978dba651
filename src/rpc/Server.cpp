#include "rpc/Server.h"

#include <sys/resource.h>
#include <unistd.h>

#include <condition_variable>
#include <cstdio>
#include <future>
#include <list>
#include <optional>
#include <thread>

#include "core/Errors.h"
#include "rpc/ClientSession.h"
#include "rpc/NetErrors.h"
#include "rpc/RefusalLog.h"
#include "rpc/Tls.h"

namespace krv::rpc {

using asio::ip::tcp;

namespace {
// A failed accept (out of file descriptors, say) is retried after this pause instead of
// spinning a worker thread.
constexpr std::chrono::milliseconds kAcceptRetry{100};
constexpr size_t kMostConnections = 1000;

// With a login, a quarter of the cap (unless set) is for connections that have not logged in yet.
ConnectionShares::Limits sharesOf(const ServerOptions& options) {
    ConnectionShares::Limits limits;
    limits.total = options.maxConnections ? options.maxConnections : defaultMaxConnections();
    const bool mustLogIn = options.login || !options.token.empty();
    limits.anonymous =
        !mustLogIn ? 0
                   : std::min(limits.total, options.maxAnonymousConnections ? options.maxAnonymousConnections
                                                                            : std::max<size_t>(1, limits.total / 4));
    limits.anonymousPerAddress = std::max<size_t>(1, options.maxAnonymousPerAddress);
    return limits;
}

// The options the sessions see: their log lines go through the summary of refusals.
ServerOptions summarised(const ServerOptions& options, RefusalLog& refusals) {
    ServerOptions copy = options;
    if (copy.log) copy.log = [&refusals](const std::string& line) { refusals.noteLine(line); };
    return copy;
}

}  // namespace

size_t defaultMaxConnections() {
    rlimit files{};
    if (getrlimit(RLIMIT_NOFILE, &files) != 0 || files.rlim_cur == RLIM_INFINITY) return kMostConnections;
    return std::max<size_t>(1, std::min<size_t>(kMostConnections, files.rlim_cur / 2));
}

bool isLoopback(const std::string& host) {
    if (host == "localhost") return true;
    std::error_code error;
    const auto address = asio::ip::make_address(host, error);
    if (error) return false;
    if (address.is_v4()) return address.to_v4().is_loopback();
    const auto v6 = address.to_v6();
    return v6.is_loopback() || (v6.is_v4_mapped() && asio::ip::make_address_v4(asio::ip::v4_mapped, v6).is_loopback());
}

struct Server::Impl {
    const Dispatcher& dispatcher;
    const ServerOptions options;
    RefusalLog refusals;
    // Declared before the io_contexts, like everything the sessions share: sessions still
    // queued in them when they are destroyed unregister themselves and give back their bytes.
    const ServerOptions sessionOptions;
    ClientSessionSet sessions;
    ByteBudget pendingBytes;
    ByteBudget answerBytes;
    // Each context that was ever loaded stays until the server is gone: sessions accepted
    // under an older one may still use it. Only the acceptor's thread changes them.
    std::list<asio::ssl::context> tlsContexts;
    asio::ssl::context* tls = nullptr;
    // One io_context per worker thread, each connection bound to one of them: a request is
    // read, dispatched and answered on the same thread, with no hand-over between threads
    // (with one shared io_context, Asio passes its reactor to another thread on every
    // completion, which doubles a small call's round trip). A slow method therefore delays
    // only the connections of its own worker. The acceptor has a thread of its own, so a
    // busy worker never keeps new clients waiting; its context is declared after the
    // workers' so that a pending accept, which holds a socket of a worker's context, is
    // destroyed while that context still exists.
    std::vector<std::unique_ptr<asio::io_context>> ios;
    asio::io_context acceptIo{1};
    // Writing methods run here, off the workers (see ClientSession::answerOffWorker).
    // Declared after the workers' contexts: a write still queued when the pool is destroyed
    // holds a session whose socket belongs to one of them.
    asio::thread_pool writers;
    asio::thread_pool largeReaders;
    size_t nextIo = 0;
    tcp::acceptor acceptor;
    asio::steady_timer retryTimer;
    asio::steady_timer summaryTimer;
    std::vector<std::thread> workers;
    uint16_t boundPort = 0;

    std::mutex stateMutex;
    std::condition_variable stateChanged;
    bool running = false;
    bool stopped = false;

    Impl(const Dispatcher& d, ServerOptions o)
        : dispatcher(d),
          options(std::move(o)),
          refusals(options.log, options.refusalQuiet),
          sessionOptions(summarised(options, refusals)),
          sessions(sharesOf(options)),
          pendingBytes(options.maxPendingBytes),
          answerBytes(options.maxAnswerBytes),
          ios(makeContexts(options.threads)),
          writers(std::max(1u, options.writerThreads)),
          largeReaders(options.largeReadThreads ? options.largeReadThreads
                                                : std::max(2u, std::thread::hardware_concurrency()) - 1),
          acceptor(acceptIo),
          retryTimer(acceptIo),
          summaryTimer(acceptIo) {}

    SessionShared shared() {
        return {dispatcher, sessionOptions, sessions, pendingBytes, answerBytes, tls, writers, largeReaders};
    }

    void loadTls() {
        if (options.tlsCertFile.empty() && options.tlsKeyFile.empty()) return;
        tls = &tlsContexts.emplace_back(serverTlsContext(options.tlsCertFile, options.tlsKeyFile));
        if (const std::string warning = certificateDateWarning(options.tlsCertFile); !warning.empty() && options.log)
            options.log(warning);
    }

    static std::vector<std::unique_ptr<asio::io_context>> makeContexts(unsigned threads) {
        std::vector<std::unique_ptr<asio::io_context>> contexts;
        for (unsigned i = 0; i < std::max(1u, threads); ++i) contexts.push_back(std::make_unique<asio::io_context>(1));
        return contexts;
    }

    std::string where() const { return options.bindAddress + ":" + std::to_string(options.port); }

    void listen() {
        std::error_code error;
        // "localhost" is loopback by name; it binds IPv4's, as the clients reach it first.
        const auto address =
            asio::ip::make_address(options.bindAddress == "localhost" ? "127.0.0.1" : options.bindAddress, error);
        if (error) throw ENetError("Endereço de escuta inválido: " + options.bindAddress);
        const tcp::endpoint endpoint(address, options.port);
        acceptor.open(endpoint.protocol(), error);
        // A restarted server must get its port back while old connections sit in TIME_WAIT.
        if (!error) acceptor.set_option(tcp::acceptor::reuse_address(true), error);
        if (!error) acceptor.bind(endpoint, error);
        if (!error) acceptor.listen(asio::socket_base::max_listen_connections, error);
        if (error) {
            std::error_code ignored;
            acceptor.close(ignored);
            throw ENetError("Não foi possível escutar em " + where() + ": " + describe(error));
        }
        boundPort = acceptor.local_endpoint().port();
    }

    void accept() {
        asio::io_context& peerIo = *ios[nextIo++ % ios.size()];
        acceptor.async_accept(peerIo, [this](std::error_code error, tcp::socket socket) {
            if (!acceptor.is_open()) return;
            if (error) {
                refusals.note("Falha ao aceitar conexão", "Falha ao aceitar conexão: " + describe(error));
                retryTimer.expires_after(kAcceptRetry);
                retryTimer.async_wait([this](std::error_code cancelled) {
                    if (!cancelled) accept();
                });
                return;
            }
            admit(std::move(socket));
            accept();
        });
    }

    void admit(tcp::socket socket) {
        std::error_code error;
        const auto peer = socket.remote_endpoint(error);
        const std::string address = error ? "?" : peer.address().to_string();
        SessionShared with = shared();
        auto session = std::make_shared<ClientSession>(std::move(socket), with);
        const auto admission = sessions.add(session, address, sessions.limits().anonymous > 0);
        if (admission.evicted) {
            admission.evicted->closeSoon();
            refusals.note("Limite de conexões sem login",
                          "Conexão sem login encerrada: limite de " + std::to_string(sessions.limits().anonymous) +
                              " conexões sem login atingido; sai a mais antiga do endereço que mais tem");
        }
        switch (admission.verdict) {
            case ConnectionShares::Verdict::Admitted:
                return session->start();
            case ConnectionShares::Verdict::OverCap:
                return refuse(*session, "Limite de conexões",
                              "Conexão " + address + " recusada: limite de " + std::to_string(sessions.limits().total) +
                                  " conexões simultâneas atingido");
            case ConnectionShares::Verdict::AddressFull:
                return refuse(*session, "Conexões sem login de " + address,
                              "Conexão " + address + " recusada: limite de " +
                                  std::to_string(sessions.limits().anonymousPerAddress) +
                                  " conexões sem login por endereço atingido");
        }
    }

    // Closed at once, before anything is read; a flood of them is one line in the log.
    void refuse(ClientSession& session, const std::string& burst, const std::string& line) {
        session.close();
        refusals.note(burst, line);
    }

    // Ended bursts of refusals get their summary line while the server runs.
    void summarise() {
        if (refusals.quiet().count() == 0) return;
        summaryTimer.expires_after(refusals.quiet());
        summaryTimer.async_wait([this](std::error_code cancelled) {
            if (cancelled) return;
            refusals.flush();
            summarise();
        });
    }

    void runWorker(asio::io_context& io) {
        // Keeps an idle worker's io_context running until stop(), so connections accepted later still get served.
        auto idle = asio::make_work_guard(io);
        for (;;) {
            try {
                io.run();
                return;
            } catch (const std::exception& error) {
                // One connection's failure (out of memory, say) must not take the server down.
                if (options.log) options.log(std::string("Erro no servidor: ") + error.what());
            }
        }
    }
};

Server::Server(const Dispatcher& dispatcher, ServerOptions options)
    : impl_(std::make_unique<Impl>(dispatcher, std::move(options))) {}

Server::~Server() { stop(); }

void Server::start() {
    std::lock_guard lock(impl_->stateMutex);
    if (impl_->running) return;
    if (impl_->stopped) throw std::logic_error("Um servidor parado não é reiniciado; crie outro");
    impl_->loadTls();
    impl_->listen();
    impl_->accept();
    impl_->summarise();
    impl_->workers.emplace_back([impl = impl_.get()] {
        // Below the workers: under a flood of connections the sessions already in get the CPU
        // first, and new connections wait their turn a little longer.
        ::setpriority(PRIO_PROCESS, ::gettid(), 10);
        impl->runWorker(impl->acceptIo);
    });
    for (auto& io : impl_->ios)
        impl_->workers.emplace_back([impl = impl_.get(), io = io.get()] { impl->runWorker(*io); });
    impl_->running = true;
}

uint16_t Server::port() const { return impl_->boundPort; }

ConnectionCount Server::connections() const {
    const Usage now = usage();
    return {now.loggedIn + now.anonymous, now.loggedIn};
}

void Server::reload(const ServerOptions& changed) {
    std::optional<asio::ssl::context> tls;
    if (impl_->tls) tls.emplace(serverTlsContext(changed.tlsCertFile, changed.tlsKeyFile));
    const ConnectionShares::Limits shares = sharesOf(changed);
    std::lock_guard lock(impl_->stateMutex);
    if (!impl_->running) return;
    // Swapped on the acceptor's thread, between two accepts.
    std::promise<void> swapped;
    asio::post(impl_->acceptIo, [&] {
        if (tls) impl_->tls = &impl_->tlsContexts.emplace_back(std::move(*tls));
        impl_->sessions.setLimits(shares);
        swapped.set_value();
    });
    swapped.get_future().wait();
}

void Server::stop() {
    std::unique_lock lock(impl_->stateMutex);
    if (!impl_->running) return;
    // Workers first, so nothing runs beside the closing below; a method still running
    // finishes before its worker returns.
    impl_->acceptIo.stop();
    for (auto& io : impl_->ios) io->stop();
    for (auto& worker : impl_->workers) worker.join();
    impl_->workers.clear();
    // Writes already running finish (their answers go nowhere); those still queued never start.
    for (asio::thread_pool* pool : {&impl_->writers, &impl_->largeReaders}) {
        pool->stop();
        pool->join();
    }
    std::error_code ignored;
    impl_->acceptor.close(ignored);
    impl_->retryTimer.cancel();
    impl_->summaryTimer.cancel();
    impl_->sessions.closeAll();
    impl_->refusals.flushAll();
    impl_->running = false;
    impl_->stopped = true;
    lock.unlock();
    impl_->stateChanged.notify_all();
}

Server::Usage Server::usage() const {
    const auto counts = impl_->sessions.counts();
    return {counts.loggedIn, counts.anonymous, impl_->pendingBytes.used(), impl_->answerBytes.used()};
}

void Server::wait() {
    std::unique_lock lock(impl_->stateMutex);
    impl_->stateChanged.wait(lock, [&] { return !impl_->running; });
}

}  // namespace krv::rpc
