// The logistic operator's day on the 70-kitchen demo company (--seed demo:70), on SQLite and
// on PostgreSQL when KRV_BENCH_POSTGRES_URL names a database:
// - BM_batch: CalculaRequisicoesFiliais of every logistic operator (all 70 kitchens, two days)
//   against 70 single CalculaRequisicoes calls of the same kitchens and days (with the service
//   list each needs), the way a buyer did it before;
// - BM_getpedidos: GetPedidos of a month of orders of every kitchen against bare SQL that
//   reads the same rows;
// - BM_itenspedido: GetItensPedido of one order against bare SQL that reads its lines.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <memory>
#include <string>
#include <vector>

#include "BenchSession.h"
#include "MonthOfOrders.h"
#include "Statistics.h"
#include "server/model/Clock.h"
#include "server/objects/PedReqObject.h"
#include "server/service/Application.h"
#include "support/TempDir.h"

using namespace krv;
namespace db = krv::server::db;

namespace {

constexpr int kKitchens = 70;
constexpr int kBatchDays = 2;
constexpr int kOrderDays = 31;
constexpr int kLinesPerOrder = 20;

Variant call(server::Application& app, const std::string& method, std::vector<Variant> args, benchmark::State& state) {
    const rpc::Outcome outcome = app.dispatcher().dispatch(kBenchCaller, server::PedReqObject::kName, method, args);
    if (!outcome.ok || outcome.result.array().at(0) != Variant(true)) {
        state.SkipWithError((method + ": " + outcome.result.asString()).c_str());
        return Variant();
    }
    return outcome.result.array().at(1);
}

struct HandOverBench;
// The CSV report wants every counter in every run of the program.
void countersOf(benchmark::State& state, const HandOverBench* bench);

struct HandOverBench {
    explicit HandOverBench(const std::string& database)
        : app([&] {
              server::ApplicationOptions options{database, true};
              options.demoSize = server::DemoSize{kKitchens};
              return options;
          }()),
          today(server::localNow().date()) {
        db::Connection& c = sql();
        c.each("SELECT cdfilial FROM branch WHERE ol = 'S' ORDER BY cdfilial", {},
               [&](const db::ResultRow& row) { operators.push_back(row.text(0)); });
        c.each("SELECT cdfilial, cdfiliopelog FROM branch WHERE ol = 'N' ORDER BY cdfilial", {},
               [&](const db::ResultRow& row) { kitchens.emplace_back(row.text(0), row.text(1)); });
        addMonthOfOrders();
        // Both sides of the batch then replace what a calculation wrote, none writes it first.
        for (const std::string& ol : operators)
            app.dispatcher().dispatch(kBenchCaller, server::PedReqObject::kName, "CalculaRequisicoesFiliais",
                                      {ol, today, today.addDays(kBatchDays - 1), 10.0, "S", "CFP", "BENCH"});
        bench::analyzeIfPostgres(c, database);
    }

    db::Connection& sql() { return app.database().connection(); }

    void addMonthOfOrders() {
        orders = bench::addMonthOfOrders(sql(), today, kOrderDays, kLinesPerOrder);
        someOrder = sql().integer("SELECT min(nrpedexol) FROM purchase_order").value_or(0);
    }

    server::Application app;
    DateTime today;
    std::vector<std::string> operators;
    std::vector<std::pair<std::string, std::string>> kitchens;  // kitchen, its operator
    int64_t orders = 0;
    int64_t someOrder = 0;
};

void BatchMeasured(benchmark::State& state, HandOverBench* b) {
    for (auto _ : state)
        for (const std::string& ol : b->operators)
            call(b->app, "CalculaRequisicoesFiliais",
                 {ol, b->today, b->today.addDays(kBatchDays - 1), 10.0, "S", "CFP", "BENCH"}, state);
    countersOf(state, b);
}

void BatchBaseline(benchmark::State& state, HandOverBench* b) {
    for (auto _ : state)
        for (const auto& [kitchen, ol] : b->kitchens) {
            const Variant services = call(b->app, "GetNrListaServ", {kitchen, "T", ""}, state);
            const std::string list = services.array().at(0).asString();
            call(b->app, "CalculaRequisicoes",
                 {kitchen, b->today, b->today.addDays(kBatchDays - 1), 10.0, "S", "CFP", "BENCH", ol, list, "", ""},
                 state);
            call(b->app, "apagaListas", {list, "", "", ""}, state);
        }
    countersOf(state, b);
}

void OrdersMeasured(benchmark::State& state, HandOverBench* b) {
    for (auto _ : state) {
        const Variant rows = call(b->app, "GetPedidos", {"T", b->today, b->today.addDays(kOrderDays - 1), "T"}, state);
        benchmark::DoNotOptimize(rows);
    }
    countersOf(state, b);
}

void OrdersBaseline(benchmark::State& state, HandOverBench* b) {
    for (auto _ : state) {
        std::vector<Row> rows;
        b->sql().each(
            "SELECT o.nrpedexol, o.cdfiliopelog, ol.nmfilial, o.cdfilial, f.nmfilial, o.cdservfili, s.nmservico,"
            " o.cdturno, t.nmturno, o.dtpedido, o.cdoperador, o.dtlancamento,"
            " (SELECT count(*) FROM purchase_order_item i WHERE i.nrpedexol = o.nrpedexol)"
            " FROM purchase_order o JOIN branch ol ON ol.cdfilial = o.cdfiliopelog"
            " JOIN branch f ON f.cdfilial = o.cdfilial"
            " JOIN service s ON s.cdfilial = o.cdfilial AND s.cdservfili = o.cdservfili"
            " JOIN shift t ON t.cdfilial = o.cdfilial AND t.cdservfili = o.cdservfili AND t.cdturno = o.cdturno"
            " WHERE o.dtpedido BETWEEN ? AND ? AND o.cdoperador = ? ORDER BY o.nrpedexol",
            {b->today, b->today.addDays(kOrderDays - 1), "BENCH"}, [&](const db::ResultRow& r) {
                rows.push_back({Variant(r.integer(0)), Variant(r.text(1)), Variant(r.text(2)), Variant(r.text(3)),
                                Variant(r.text(4)), Variant(r.text(5)), Variant(r.text(6)), Variant(r.text(7)),
                                Variant(r.text(8)), Variant(r.dateTime(9)), Variant(r.text(10)),
                                Variant(r.dateTime(11)), Variant(r.integer(12))});
            });
        benchmark::DoNotOptimize(rows.data());
    }
    countersOf(state, b);
}

void LinesMeasured(benchmark::State& state, HandOverBench* b) {
    for (auto _ : state) benchmark::DoNotOptimize(call(b->app, "GetItensPedido", {b->someOrder}, state));
    countersOf(state, b);
}

void LinesBaseline(benchmark::State& state, HandOverBench* b) {
    for (auto _ : state) {
        std::vector<Row> rows;
        b->sql().each(
            "SELECT i.cdproduto, p.nmproduto, p.sgunidade, i.qtnecessaria, i.qtpedido, p.qtembalagem"
            " FROM purchase_order_item i JOIN product p ON p.cdproduto = i.cdproduto WHERE i.nrpedexol = ?"
            " ORDER BY i.cdproduto",
            {b->someOrder}, [&](const db::ResultRow& r) {
                rows.push_back({Variant(r.text(0)), Variant(r.text(1)), Variant(r.text(2)), Variant(r.real(3)),
                                Variant(r.real(4)), Variant(r.real(5))});
            });
        benchmark::DoNotOptimize(rows.data());
    }
    countersOf(state, b);
}

void countersOf(benchmark::State& state, const HandOverBench* bench) {
    state.counters["kitchens"] = double(bench->kitchens.size());
    state.counters["orders"] = double(bench->orders);
}

using Case = void (*)(benchmark::State&, HandOverBench*);

void registerPair(const std::string& name, Case baseline, Case measured, HandOverBench* bench, bool once) {
    auto* base = benchmark::RegisterBenchmark((name + "_baseline").c_str(), baseline, bench);
    auto* meas = benchmark::RegisterBenchmark((name + "_measured").c_str(), measured, bench);
    for (auto* b : {base, meas}) {
        b->Unit(benchmark::kMillisecond)->UseRealTime();
        if (once) b->Iterations(1);
    }
}

void registerAll(const std::string& engine, HandOverBench* bench) {
    // A batch of 70 kitchens takes seconds: one iteration of each side is a fair measure.
    registerPair("BM_batch_" + engine, BatchBaseline, BatchMeasured, bench, true);
    registerPair("BM_getpedidos_" + engine, OrdersBaseline, OrdersMeasured, bench, false);
    registerPair("BM_itenspedido_" + engine, LinesBaseline, LinesMeasured, bench, false);
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    {
        const support::TempDir dir("krv-bench");
        HandOverBench sqlite(dir.file("handover.db"));
        registerAll("sqlite", &sqlite);
        std::unique_ptr<HandOverBench> postgres;
        if (const char* url = getenv("KRV_BENCH_POSTGRES_URL")) {
            postgres = std::make_unique<HandOverBench>(url);
            registerAll("postgres", postgres.get());
        }
        benchmark::RunSpecifiedBenchmarks();
        benchmark::Shutdown();
    }
    return 0;
}
