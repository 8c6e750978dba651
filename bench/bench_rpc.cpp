// One small server call, GetFilial of one branch, from the client's call to the decoded
// answer, against a bare TCP round trip on loopback that moves the same bytes: a request
// frame of the call's size out, a frame of its answer's size back.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <asio.hpp>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>

#include "BenchSession.h"
#include "rpc/Client.h"
#include "rpc/Message.h"
#include "rpc/Server.h"
#include "server/access/OperatorLogin.h"
#include "server/objects/PedReqObject.h"
#include "server/service/Application.h"
#include "support/TempDir.h"

using namespace krv;
using asio::ip::tcp;

namespace {

const std::vector<Variant> kArgs{"0001"};

// The server as krv-server runs it, operator login included, on a seeded database in a
// directory of its own.
struct SeededServer {
    SeededServer() {
        app = std::make_unique<server::Application>(server::ApplicationOptions{dir.file("bench.db"), true});
        login = std::make_unique<server::OperatorLogin>(app->database(), server::HashCost::Interactive,
                                                        server::OperatorLogin::Settings{}, nullptr);
        rpc::ServerOptions options;
        options.login = login->function();
        transport = std::make_unique<rpc::Server>(app->dispatcher(), options);
        transport->start();
    }
    ~SeededServer() {
        transport->stop();
        transport.reset();
        login.reset();
        app.reset();
    }

    // The frame sizes of one GetFilial exchange, as the client and the server write them.
    std::pair<size_t, size_t> exchangeBytes() const {
        const std::string request = rpc::requestFrame(1, server::PedReqObject::kName, "GetFilial", kArgs);
        const rpc::Outcome outcome =
            app->dispatcher().dispatch(kBenchCaller, server::PedReqObject::kName, "GetFilial", kArgs);
        return {request.size(), rpc::responseFrame(1, outcome).size()};
    }

    support::TempDir dir{"krv-bench"};
    std::unique_ptr<server::Application> app;
    std::unique_ptr<server::OperatorLogin> login;
    std::unique_ptr<rpc::Server> transport;
};

SeededServer& seededServer() {
    static SeededServer instance;
    return instance;
}

// Reads requests of a fixed size and answers each with a fixed-size reply, one connection.
class EchoServer {
public:
    EchoServer(size_t requestBytes, size_t replyBytes)
        : acceptor_(io_, tcp::endpoint(asio::ip::make_address("127.0.0.1"), 0)),
          request_(requestBytes),
          reply_(replyBytes, 'x') {
        thread_ = std::thread([this] { serve(); });
    }
    ~EchoServer() {
        asio::error_code ignored;
        acceptor_.close(ignored);
        thread_.join();
    }
    uint16_t port() const { return acceptor_.local_endpoint().port(); }

private:
    void serve() {
        asio::error_code error;
        tcp::socket socket(io_);
        acceptor_.accept(socket, error);
        if (error) return;
        socket.set_option(tcp::no_delay(true));
        while (!error) {
            asio::read(socket, asio::buffer(request_), error);
            if (!error) asio::write(socket, asio::buffer(reply_), error);
        }
    }

    asio::io_context io_;
    tcp::acceptor acceptor_;
    std::vector<char> request_;
    std::string reply_;
    std::thread thread_;
};

void BM_call_baseline(benchmark::State& state) {
    const auto [requestBytes, replyBytes] = seededServer().exchangeBytes();
    EchoServer echo(requestBytes, replyBytes);
    asio::io_context io;
    tcp::socket socket(io);
    socket.connect(tcp::endpoint(asio::ip::make_address("127.0.0.1"), echo.port()));
    socket.set_option(tcp::no_delay(true));
    const std::string request(requestBytes, 'r');
    std::vector<char> reply(replyBytes);
    for (auto _ : state) {
        asio::write(socket, asio::buffer(request));
        asio::read(socket, asio::buffer(reply));
        benchmark::DoNotOptimize(reply.data());
    }
    socket.close();
}

void BM_call_measured(benchmark::State& state) {
    const rpc::Endpoint endpoint = demoLogin(seededServer().transport->port());
    rpc::Client client;
    client.connect(endpoint);
    for (auto _ : state) {
        std::vector<Variant> args = kArgs;
        Variant result = client.call(server::PedReqObject::kName, "GetFilial", args);
        if (result.array().at(1).packet().rows.size() != 1) state.SkipWithError("GetFilial devolveu outra coisa");
        benchmark::DoNotOptimize(result);
    }
}

}  // namespace

BENCHMARK(BM_call_baseline)->UseRealTime();
BENCHMARK(BM_call_measured)->UseRealTime();
BENCHMARK_MAIN();
