// Several operators at once: 8 clients, each making many small calls (GetFilial of one
// branch) over loopback to one server, on SQLite and on PostgreSQL. The single client
// making the same calls in the same run is the baseline. Prints calls per second and the
// 99th-percentile latency of each; the PostgreSQL rows need KRV_BENCH_POSTGRES_URL (a
// database that may be dropped and created again; bench/run starts a throwaway cluster).
// Then, on SQLite, the p99 of GetFilial of several readers without and with a client that
// keeps making and deleting lists meanwhile: reads must not wait behind that writer.
#include <stdlib.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <latch>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "BenchSession.h"
#include "rpc/Client.h"
#include "rpc/Server.h"
#include "server/access/OperatorLogin.h"
#include "server/model/Clock.h"
#include "server/objects/PedReqObject.h"
#include "server/seed/DemoSeed.h"
#include "server/service/Application.h"
#include "support/TempDir.h"

using namespace krv;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kClients = 8;
constexpr int kCallsEach = 2000;
constexpr int kWarmUpCalls = 200;

struct Load {
    double callsPerSecond = 0;
    double p99Micros = 0;
};

double p99Of(const std::vector<double>& sorted) { return sorted[size_t(double(sorted.size() - 1) * 0.99)]; }

// `clients` clients at once, each making `calls` calls; they start together.
Load measure(uint16_t port, int clients, int calls) {
    const auto n = size_t(clients);
    std::vector<std::vector<double>> latencies(n);
    std::vector<Clock::time_point> starts(n), ends(n);
    std::vector<std::string> errors(n);
    std::latch ready(clients);
    std::vector<std::thread> threads;
    for (int c = 0; c < clients; ++c)
        threads.emplace_back([&, c] {
            try {
                rpc::Client client;
                rpc::Endpoint endpoint;
                endpoint.port = port;
                client.connect(endpoint);
                auto& mine = latencies[size_t(c)];
                mine.reserve(size_t(calls));
                ready.arrive_and_wait();
                starts[size_t(c)] = Clock::now();
                for (int i = 0; i < calls; ++i) {
                    std::vector<Variant> args{"0001"};
                    const auto before = Clock::now();
                    const Variant result = client.call(server::PedReqObject::kName, "GetFilial", args);
                    mine.push_back(std::chrono::duration<double, std::micro>(Clock::now() - before).count());
                    if (result.array().at(1).packet().rows.size() != 1) throw std::runtime_error("resposta errada");
                }
                ends[size_t(c)] = Clock::now();
            } catch (const std::exception& e) {
                errors[size_t(c)] = e.what();
            }
        });
    for (auto& t : threads) t.join();
    for (const auto& e : errors)
        if (!e.empty()) throw std::runtime_error(e);
    std::vector<double> all;
    for (const auto& l : latencies) all.insert(all.end(), l.begin(), l.end());
    std::sort(all.begin(), all.end());
    const double seconds = std::chrono::duration<double>(*std::max_element(ends.begin(), ends.end()) -
                                                         *std::min_element(starts.begin(), starts.end()))
                               .count();
    return {double(all.size()) / seconds, p99Of(all)};
}

void report(const char* engine, const std::string& database) {
    server::Application app({database, true});
    rpc::Server transport(app.dispatcher(), rpc::ServerOptions{});
    transport.start();
    measure(transport.port(), 1, kWarmUpCalls);
    const Load single = measure(transport.port(), 1, kCallsEach);
    const Load many = measure(transport.port(), kClients, kCallsEach);
    transport.stop();
    std::printf("%-11s %8d %12.0f %10.0f\n", engine, 1, single.callsPerSecond, single.p99Micros);
    std::printf("%-11s %8d %12.0f %10.0f   throughput x%.2f, p99 x%.2f of one client\n", engine, kClients,
                many.callsPerSecond, many.p99Micros, many.callsPerSecond / single.callsPerSecond,
                many.p99Micros / single.p99Micros);
}

// Makes and deletes a service list until told to stop; its connection is made on
// construction, before the readers', so the server gives it the first worker (they are
// handed out in turn) and one reader shares that worker with it.
class LoopingWriter {
public:
    explicit LoopingWriter(uint16_t port) {
        rpc::Endpoint endpoint;
        endpoint.port = port;
        client_.connect(endpoint);
        thread_ = std::thread([this] { loop(); });
    }
    ~LoopingWriter() {
        stop_ = true;
        thread_.join();
    }
    int calls() const { return calls_; }
    const std::string& error() const { return error_; }

private:
    void loop() {
        try {
            while (!stop_) {
                std::vector<Variant> make{"0001", "T", ""};
                call("GetNrListaServ", make);
                std::vector<Variant> drop{make[2], "", "", ""};
                call("apagaListas", drop);
            }
        } catch (const std::exception& e) {
            error_ = e.what();
        }
    }
    void call(const char* method, std::vector<Variant>& args) {
        const Variant result = client_.call(server::PedReqObject::kName, method, args);
        if (result.array().at(0) != Variant(true)) throw std::runtime_error(result.array().at(1).asString());
        ++calls_;
    }

    rpc::Client client_;
    std::atomic<bool> stop_{false};
    std::atomic<int> calls_{0};
    std::string error_;
    std::thread thread_;
};

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Rounds alternate between the two loads, and each side keeps its median round, so that a
// burst of other work on the machine during one round does not decide the ratio.
void reportReaders(const std::string& database) {
    constexpr int kReaders = 4;
    constexpr int kRounds = 5;
    server::Application app({database, true});
    rpc::Server transport(app.dispatcher(), rpc::ServerOptions{});
    transport.start();
    measure(transport.port(), kReaders, kWarmUpCalls);
    std::vector<double> alone, besideWriter;
    int writes = 0;
    double writingSeconds = 0;
    for (int round = 0; round < kRounds; ++round) {
        alone.push_back(measure(transport.port(), kReaders, kCallsEach).p99Micros);
        LoopingWriter writer(transport.port());
        const auto start = Clock::now();
        besideWriter.push_back(measure(transport.port(), kReaders, kCallsEach).p99Micros);
        writingSeconds += std::chrono::duration<double>(Clock::now() - start).count();
        writes += writer.calls();
        if (!writer.error().empty()) throw std::runtime_error(writer.error());
    }
    transport.stop();
    const double ratio = median(besideWriter) / median(alone);
    std::printf(
        "BM_readers (sqlite, %d readers, median of %d rounds): GetFilial p99 %.0f us without a writer,"
        " %.0f us with a writer looping (%.0f list writes/s), ratio %.2f, target <= 2: %s\n",
        kReaders, kRounds, median(alone), median(besideWriter), writes / writingSeconds, ratio,
        ratio <= 2 ? "yes" : "NO");
}

// Calculations of one kitchen each (three days), from `clients` clients at once spread over
// `ports`, `rounds` each; how long each took, and the refusals.
struct Calculations {
    std::vector<double> millis;
    int refused = 0;
    double seconds = 0;
};

Calculations calculate(const std::vector<uint16_t>& ports, size_t clients, int rounds, const DateTime& day) {
    Calculations result;
    std::vector<std::vector<double>> millis(clients);
    std::vector<std::string> errors(clients);
    std::atomic<int> refused{0};
    std::latch ready{std::ptrdiff_t(clients)};
    const auto start = Clock::now();
    std::vector<std::thread> threads;
    for (size_t c = 0; c < clients; ++c)
        threads.emplace_back([&, c] {
            try {
                rpc::Client client;
                client.connect(demoLogin(ports[c % ports.size()]));
                const std::string kitchen = server::fourDigitCode(c + 1);
                std::vector<Variant> services{kitchen, "T", ""};
                const Variant list =
                    client.call(server::PedReqObject::kName, "GetNrListaServ", services).array().at(1).array().at(0);
                ready.arrive_and_wait();
                for (int round = 0; round < rounds; ++round) {
                    std::vector<Variant> args{
                        kitchen, day, day.addDays(2), 10.0, "S", "CFP", server::kDemoOperator, kitchen, list, "", ""};
                    const auto before = Clock::now();
                    const Variant answer = client.call(server::PedReqObject::kName, "CalculaRequisicoes", args);
                    millis[c].push_back(std::chrono::duration<double, std::milli>(Clock::now() - before).count());
                    if (answer.array().at(0) != Variant(true)) ++refused;
                }
            } catch (const std::exception& e) {
                errors[c] = e.what();
            }
        });
    for (auto& t : threads) t.join();
    for (const auto& e : errors)
        if (!e.empty()) throw std::runtime_error(e);
    result.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    for (const auto& m : millis) result.millis.insert(result.millis.end(), m.begin(), m.end());
    std::sort(result.millis.begin(), result.millis.end());
    result.refused = refused;
    return result;
}

// Two servers on one PostgreSQL database, as a company that grows past one machine runs
// them, 16 clients calculating their own kitchens; against one client calculating alone.
void reportTwoServers(const std::string& database) {
    constexpr size_t kKitchens = 16;
    constexpr int kRounds = 8;
    server::ApplicationOptions options{database, true};
    options.demoSize = server::DemoSize{int(kKitchens)};
    options.passwordCost = server::HashCost::Minimal;
    std::vector<std::unique_ptr<server::Application>> apps;
    std::vector<std::unique_ptr<server::OperatorLogin>> logins;
    std::vector<std::unique_ptr<rpc::Server>> servers;
    std::vector<uint16_t> ports;
    for (int i = 0; i < 2; ++i) {
        apps.push_back(std::make_unique<server::Application>(options));
        logins.push_back(std::make_unique<server::OperatorLogin>(apps.back()->database(), server::HashCost::Minimal,
                                                                 server::OperatorLogin::Settings{}, nullptr));
        rpc::ServerOptions serverOptions;
        serverOptions.login = logins.back()->function();
        serverOptions.writerThreads = apps.back()->database().writersAtOnce();
        servers.push_back(std::make_unique<rpc::Server>(apps.back()->dispatcher(), serverOptions));
        servers.back()->start();
        ports.push_back(servers.back()->port());
    }
    const DateTime day = server::localNow().date();
    calculate(ports, 1, 1, day);  // warm-up
    const Calculations alone = calculate(ports, 1, kRounds * 2, day);
    const Calculations together = calculate(ports, kKitchens, kRounds, day);
    for (auto& s : servers) s->stop();
    const double ratio = p99Of(together.millis) / p99Of(alone.millis);
    std::printf(
        "BM_twoservers (postgresql, 2 servers, %zu clients on their own kitchens): %d of %zu refused;"
        " %.1f calculations/s (1 client: %.1f); p99 %.0f ms (1 client: %.0f ms), x%.2f;"
        " target 0 refused and p99 <= 3x: %s\n",
        kKitchens, together.refused, together.millis.size(), double(together.millis.size()) / together.seconds,
        double(alone.millis.size()) / alone.seconds, p99Of(together.millis), p99Of(alone.millis), ratio,
        together.refused == 0 && alone.refused == 0 && ratio <= 3 ? "yes" : "NO");
}

}  // namespace

int main() {
    try {
        std::printf("%-11s %8s %12s %10s\n", "engine", "clients", "calls/s", "p99 us");
        {
            const support::TempDir dir("krv-bench");
            report("sqlite", dir.file("load.db"));
        }
        if (const char* url = getenv("KRV_BENCH_POSTGRES_URL"))
            report("postgresql", url);
        else
            std::printf("postgresql  (KRV_BENCH_POSTGRES_URL not set: bench/run starts a cluster for it)\n");
        if (const char* url = getenv("KRV_BENCH_POSTGRES_SHARED_URL")) reportTwoServers(url);
        {
            const support::TempDir dir("krv-bench");
            reportReaders(dir.file("readers.db"));
        }
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench_load: %s\n", e.what());
        return 1;
    }
}
