// How the server's main paths grow with the company: the demo company seeded with N
// branches (demo:N), and over loopback, as the screens call them, the calculation of every
// branch for 31 days, the order screen's list of every branch over that month, the list
// of all of it marked, its preview and the generation of what the preview showed, the
// report of one branch and the forecast of one logistic operator. Each case is an argument,
// "sqlite:N" or "postgres:N=URL" (bench/run passes them); prints each time, and the growth
// per tenfold step of the data against a target of 12x.
#include <time.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "BenchSession.h"
#include "Statistics.h"
#include "core/DataPacket.h"
#include "rpc/AnswerParts.h"
#include "rpc/Client.h"
#include "rpc/Compression.h"
#include "rpc/Message.h"
#include "rpc/Server.h"
#include "server/access/OperatorLogin.h"
#include "server/model/Clock.h"
#include "server/model/Requests.h"
#include "server/objects/PedReqObject.h"
#include "server/objects/ReportObject.h"
#include "server/service/Application.h"
#include "support/TempDir.h"

using namespace krv;
using Clock = std::chrono::steady_clock;

namespace {

// The server refused the month's list as more than the order screen takes at once.
struct OverTheScreensLimit : std::runtime_error {
    using std::runtime_error::runtime_error;
};

constexpr int kDays = 31;
constexpr double kTargetGrowth = 12;

struct Case {
    std::string engine;
    int branches = 0;
    std::string target;  // the --db of the case
};

Case parseCase(const std::string& text, const support::TempDir& dir) {
    const size_t colon = text.find(':');
    const size_t equals = text.find('=');
    if (colon == std::string::npos) throw std::invalid_argument("caso sem ':': " + text);
    Case c{text.substr(0, colon), std::stoi(text.substr(colon + 1, equals - colon - 1)), ""};
    if (c.engine == "sqlite")
        c.target = dir.file("scale-" + std::to_string(c.branches) + ".db");
    else if (c.engine == "postgres" && equals != std::string::npos)
        c.target = text.substr(equals + 1);
    else
        throw std::invalid_argument("caso inválido: " + text + " (sqlite:N ou postgres:N=URL)");
    return c;
}

// The company of one case, served over loopback to one client.
class Company {
public:
    explicit Company(const Case& c) : case_(c) {
        server::ApplicationOptions options{c.target, true};
        options.demoSize = server::DemoSize{c.branches};
        const auto started = Clock::now();
        app_ = std::make_unique<server::Application>(options);
        seedSeconds = std::chrono::duration<double>(Clock::now() - started).count();
        // Logged in as krv-server's clients are: the lists and orders belong to the demo operator.
        login_ = std::make_unique<server::OperatorLogin>(app_->database(), server::HashCost::Interactive,
                                                         server::OperatorLogin::Settings{}, nullptr);
        // With the frame limit the server and the host have: the largest month comes in parts.
        rpc::ServerOptions serverOptions;
        serverOptions.login = login_->function();
        transport_ = std::make_unique<rpc::Server>(app_->dispatcher(), serverOptions);
        transport_->start();
        rpc::Endpoint endpoint = demoLogin(transport_->port());
        endpoint.answersInParts = true;
        endpoint.timeout = std::chrono::minutes(30);
        client_.connect(endpoint);
        endpoint.compression = true;
        compressing_.connect(endpoint);
        start = server::localNow().date();  // the demo's days lie around the day it was seeded
        end = start.addDays(kDays - 1);
        sql().each("SELECT cdfilial FROM branch WHERE ol = 'N' ORDER BY cdfilial", {},
                   [&](const server::db::ResultRow& row) { kitchens.push_back(row.text(0)); });
        supplier = *sql().text("SELECT cdfiliopelog FROM branch WHERE cdfilial = ?", {kitchens.front()});
        for (const std::string& branch : kitchens) services[branch] = list("GetNrListaServ", {branch, "T", ""});
        // Made from "Todos", it narrows the order screen's list by nothing.
        everyShift = list("GetNrListaTurno", {services.at(kitchens.front()), "", "T"});
    }
    ~Company() {
        client_.close();
        compressing_.close();
        transport_->stop();
    }

    server::db::Connection& sql() { return app_->database().connection(); }
    void analyze() { bench::analyzeIfPostgres(sql(), case_.target); }

    void calculateEveryBranch() {
        // Each branch's calculation list renewed, as the screen does.
        for (const std::string& branch : kitchens) {
            calculations[branch] =
                list("CalculaRequisicoes", {branch, start, end, 10.0, "S", "CFP", server::kDemoOperator, branch,
                                            services.at(branch), calculations[branch], ""});
        }
    }
    std::string everyBranchKeys() const {
        std::string keys = "_";
        for (const std::string& branch : kitchens) keys += branch + "_";
        return keys;
    }
    void listEveryBranch() {
        try {
            listed = pedReq("getRequisicoes", {everyBranchKeys(), start, end, everyShift, "T"}).packet();
        } catch (const std::runtime_error& e) {
            if (std::string(e.what()).find("mais do que a tela recebe") == std::string::npos) throw;
            throw OverTheScreensLimit(e.what());
        }
        rows = listed.rows.size();
    }
    void listEveryBranchCompressed() {
        std::vector<Variant> args{everyBranchKeys(), start, end, everyShift, "T"};
        const Variant result = compressing_.call(server::PedReqObject::kName, "getRequisicoes", args);
        if (result.array().at(1).packet().rows.size() != rows) throw std::runtime_error("lista comprimida diferente");
    }
    // The month list's answer as it travels, without and with compression.
    std::pair<size_t, size_t> listWireBytes() const {
        size_t plain = 0, packed = 0;
        rpc::responseInParts(
            1,
            rpc::Outcome{
                true, Variant(Variant::Array{true, Variant(listed)}), {everyBranchKeys(), start, end, everyShift, "T"}},
            rpc::parts::kPartBytes, [&](std::string frame) {
                plain += frame.size();
                packed += rpc::compression::compressFrame(std::move(frame)).size();
            });
        return {plain, packed};
    }
    // Every row marked, with what the order screen sends of it; the copy is the benchmark's,
    // and untimed.
    void markRows() {
        marked.fields = listed.fields;
        marked.rows.clear();
        for (const Row& row : listed.rows) {
            Row& slim = marked.rows.emplace_back(row.size());
            slim[server::kListMark] = Variant("S");
            for (const size_t kept : {server::kListNumber, server::kListDay, server::kListBranch})
                slim[kept] = row[kept];
        }
    }
    // As the order screen needs it: the list does not come back with the answer.
    void sendMarked() { requisitionList = list("GetNrListaRequiPedido", {Variant(std::move(marked)), "", "N"}); }
    void reopen() {
        sql().write([](server::db::Connection& c) {
            c.execute("UPDATE requisition SET nrpedexol = NULL WHERE nrpedexol IS NOT NULL");
            c.execute("DELETE FROM purchase_order");
        });
    }
    // The order screen's "Confirmar": the preview, then the generation of what it showed.
    std::vector<Variant> orderArguments() const {
        return {
            kitchens.front(), start, end, requisitionList, "S", server::kDemoOperator, kitchens.front(), "", "", "S"};
    }
    void preview() { pedReq("PreviaPedidoPorRequisicao", orderArguments()); }
    void reopenAndPreview() {
        reopen();
        preview();
    }
    void generate() { pedReq("GeraPedidoPorRequisicao", orderArguments()); }
    void reportOfOneBranch() {
        const std::string& branch = kitchens.front();
        const std::vector<std::pair<const char*, Variant>> params{{"P_CDFILIAL", branch},
                                                                  {"P_DATAINI", start},
                                                                  {"P_DATAFIN", end},
                                                                  {"P_NRLISTASERV", services.at(branch)},
                                                                  {"P_NRLISTATURNO", everyShift},
                                                                  {"P_TAMNIV", 10},
                                                                  {"P_ORDENA", "C"},
                                                                  {"P_IDIMPRIMECARD", "S"},
                                                                  {"P_IDQUEBRAPAGINA", "S"},
                                                                  {"P_NRLINHABRANCA", 2},
                                                                  {"P_LISTAGRUPPROD", "T"}};
        Variant::Array pairs;
        for (const auto& [name, value] : params) pairs.push_back(Variant(Variant::Array{Variant(name), value}));
        call(server::ReportObject::kName, "GetDados", {"KRV520", Variant(std::move(pairs))});
    }
    void forecastOfOneOperator() { pedReq("CalculaPrevisaoConsumo", {supplier, start, end, server::kDemoOperator}); }

    double seedSeconds = 0;
    std::vector<std::string> kitchens;
    std::string supplier;
    DateTime start, end;
    size_t rows = 0;

private:
    // The arguments as the server sent them back go with the call: freeing them is part of it.
    Variant call(const std::string& object, const std::string& method, std::vector<Variant> args) {
        const Variant result = client_.call(object, method, args);
        if (!result.array().at(0).asBool()) throw std::runtime_error(method + ": " + result.array().at(1).asString());
        return result.array().at(1);
    }
    Variant pedReq(const std::string& method, std::vector<Variant> args) {
        return call(server::PedReqObject::kName, method, std::move(args));
    }
    std::string list(const std::string& method, std::vector<Variant> args) {
        return pedReq(method, std::move(args)).array().at(0).asString();
    }

    Case case_;
    std::unique_ptr<server::Application> app_;
    std::unique_ptr<server::OperatorLogin> login_;
    std::unique_ptr<rpc::Server> transport_;
    rpc::Client client_;
    rpc::Client compressing_;  // the same calls with compressed frames
    std::map<std::string, std::string> services, calculations;
    std::string everyShift;
    DataPacket listed, marked;
    std::string requisitionList;
};

struct Operation {
    const char* name;
    void (Company::*run)();
    void (Company::*before)() = nullptr;  // untimed, before each run
    bool onTheMonthsList = false;         // works on what getRequisicoes listed
};

const Operation kOperations[] = {
    {"cálculo, toda filial", &Company::calculateEveryBranch},
    {"getRequisicoes", &Company::listEveryBranch, nullptr, true},
    {"getRequisicoes, zstd", &Company::listEveryBranchCompressed, nullptr, true},
    {"GetNrListaRequiPedido", &Company::sendMarked, &Company::markRows, true},
    {"prévia", &Company::preview, &Company::reopen, true},
    {"geração, após a prévia", &Company::generate, &Company::reopenAndPreview, true},
    {"relatório, 1 filial", &Company::reportOfOneBranch},
    {"previsão, 1 operador", &Company::forecastOfOneOperator},
};

// Real time, and the processor time of this process (client and server threads, and
// SQLite; PostgreSQL works in processes of its own), which a busy machine disturbs less.
struct Seconds {
    double real = INFINITY, cpu = INFINITY;
};

double processCpu() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

// The best of a few runs: the machine is shared, and the least disturbed run is the one
// that says what the code costs, at every size alike: a best of three against a single run
// would tilt the growth. Only an operation that takes longer than kLongRun runs once.
constexpr double kLongRun = 30;
Seconds secondsOf(Company& company, const Operation& op) {
    Seconds best;
    for (int r = 0; r < 3; ++r) {
        if (op.before) (company.*op.before)();
        company.analyze();
        const auto started = Clock::now();
        const double cpuStarted = processCpu();
        (company.*op.run)();
        best.real = std::min(best.real, std::chrono::duration<double>(Clock::now() - started).count());
        best.cpu = std::min(best.cpu, processCpu() - cpuStarted);
        if (best.real > kLongRun) break;
    }
    return best;
}

std::string formatSeconds(double s) {
    char text[32];
    std::snprintf(text, sizeof text, s < 1 ? "%.1f ms" : "%.2f s", s < 1 ? s * 1e3 : s);
    return text;
}

using Times = std::map<std::string, std::map<std::string, std::map<int, Seconds>>>;

void printTable(const char* title, const Times& times, double Seconds::*which) {
    std::printf("\n%s\n%-8s %-24s %12s %12s %12s %8s %8s  %s\n", title, "banco", "operação", "N=7", "N=70", "N=700",
                "70/7", "700/70", "<=12x");
    for (const auto& [engine, operations] : times)
        for (const Operation& op : kOperations) {
            const auto& at = operations.at(op.name);
            std::printf("%-8s %-24s", engine.c_str(), op.name);
            for (int n : {7, 70, 700}) std::printf(" %12s", at.count(n) ? formatSeconds(at.at(n).*which).c_str() : "-");
            bool met = true;
            for (int n : {7, 70}) {
                if (at.count(n) && at.count(n * 10)) {
                    const double growth = at.at(n * 10).*which / (at.at(n).*which);
                    met = met && growth <= kTargetGrowth;
                    std::printf(" %7.1fx", growth);
                } else {
                    std::printf(" %8s", "-");
                }
            }
            std::printf("  %s\n", met ? "yes" : "NO");
        }
}

}  // namespace

int main(int argc, char** argv) {
    try {
        const support::TempDir dir("krv-bench");
        // times[engine][operation][branches]
        Times times;
        for (int i = 1; i < argc; ++i) {
            const Case c = parseCase(argv[i], dir);
            Company company(c);
            std::printf("%s, %d filiais: semeada em %s; %zu filiais, operador %s\n", c.engine.c_str(), c.branches,
                        formatSeconds(company.seedSeconds).c_str(), company.kitchens.size(), company.supplier.c_str());
            bool listed = true;
            for (const Operation& op : kOperations) {
                if (op.onTheMonthsList && !listed) continue;
                try {
                    times[c.engine][op.name][c.branches] = secondsOf(company, op);
                } catch (const OverTheScreensLimit& refusal) {
                    std::printf("  a lista do mês é recusada, como a tela a recebe: %s\n", refusal.what());
                    listed = false;
                    continue;
                }
                if (op.run == &Company::listEveryBranch) {
                    const auto [plain, packed] = company.listWireBytes();
                    std::printf(
                        "  %zu requisições na lista: %zu bytes no fio, %zu comprimidos (%.1fx menos; meta >= 3x)\n",
                        company.rows, plain, packed, double(plain) / double(packed));
                }
            }
            std::fflush(stdout);
        }
        printTable("tempo real", times, &Seconds::real);
        printTable("tempo de processador deste processo", times, &Seconds::cpu);
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench_scale: %s\n", e.what());
        return 1;
    }
}
