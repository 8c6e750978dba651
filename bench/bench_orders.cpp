// Order generation over 10 000 requisitions: the server method GeraPedidoPorRequisicao,
// from its arguments to the committed orders, against bare SQL that inserts the same
// orders and items and points the same requisitions at them in one transaction. On SQLite,
// and on PostgreSQL when KRV_BENCH_POSTGRES_URL names a database (bench/run starts a
// throwaway cluster for it).
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <memory>
#include <string>

#include "BenchSession.h"
#include "ListedRequisitions.h"
#include "RequisitionSeed.h"
#include "Statistics.h"
#include "server/objects/PedReqObject.h"
#include "server/service/Application.h"
#include "server/stores/OrderStore.h"
#include "support/TempDir.h"

using namespace krv;
namespace db = krv::server::db;

namespace {

constexpr int64_t kRequisitions = 10000;
const DateTime kFirstDay = DateTime::fromDate(2026, 3, 15);

// A seeded database holding at least kRequisitions open requisitions, all in one list.
struct OrderBench {
    explicit OrderBench(const std::string& database) : app({database, true}), target(database) {
        db::Connection& c = sql();
        const int64_t perDay =
            *c.integer("SELECT (SELECT count(*) FROM shift) * (SELECT count(*) FROM product_grouping)");
        days = int((kRequisitions + perDay - 1) / perDay);
        if (c.integer("SELECT count(*) FROM requisition") < kRequisitions)
            server::test::addManyRequisitions(c, kFirstDay, days);
        const bench::Listed listed = bench::listEveryRequisition(c);
        list = listed.list;
        requisitions = listed.requisitions;
    }

    db::Connection& sql() { return app.database().connection(); }

    void reopen() {
        sql().write([](db::Connection& c) {
            c.execute("UPDATE requisition SET nrpedexol = NULL WHERE nrpedexol IS NOT NULL");
            c.execute("DELETE FROM purchase_order");
        });
    }

    void analyze() { bench::analyzeIfPostgres(sql(), target); }

    void check(benchmark::State& state) {
        if (sql().integer("SELECT count(*) FROM requisition WHERE nrpedexol IS NULL") != 0)
            state.SkipWithError("requisições sem pedido depois da geração");
    }

    server::Application app;
    std::string target;
    int days = 0;
    int64_t list = 0;
    int64_t requisitions = 0;
};

void measured(benchmark::State& state, OrderBench* bench) {
    bench->analyze();
    for (auto _ : state) {
        state.PauseTiming();
        bench->reopen();
        state.ResumeTiming();
        const rpc::Outcome outcome = bench->app.dispatcher().dispatch(
            kBenchCaller, server::PedReqObject::kName, "GeraPedidoPorRequisicao",
            {"0001", kFirstDay, kFirstDay.addDays(bench->days), std::to_string(bench->list), "S",
             kBenchCaller.operatorName, "0001", "", ""});
        if (!outcome.ok || outcome.result.array().at(0) != Variant(true))
            state.SkipWithError(outcome.result.asString().c_str());
    }
    bench->check(state);
    state.counters["requisitions"] = double(bench->requisitions);
}

// The same orders, items and updates by hand, without the list, the checks and the
// order counter.
void baseline(benchmark::State& state, OrderBench* bench) {
    const std::string numbered =
        "WITH numbered AS (SELECT r.nrrequipedido, r.cdfiliopelog, r.dtrequipedido, r.cdfilial, r.cdservfili,"
        " r.cdturno, ? + dense_rank() OVER (ORDER BY r.cdfiliopelog, r.dtrequipedido, r.cdfilial, r.cdservfili,"
        " r.cdturno) AS nrpedexol FROM requisition r WHERE r.nrpedexol IS NULL) ";
    bench->analyze();
    for (auto _ : state) {
        state.PauseTiming();
        bench->reopen();
        state.ResumeTiming();
        bench->sql().write([&](db::Connection& c) {
            const int64_t after = c.integer("SELECT max(nrpedexol) FROM purchase_order").value_or(0);
            c.execute(numbered +
                          "INSERT INTO purchase_order (nrpedexol, cdfiliopelog, cdfilial, cdservfili, cdturno,"
                          " dtpedido, cdoperador, dtlancamento, cdfilproc)"
                          " SELECT o.*, ?, ?, ? FROM (SELECT DISTINCT nrpedexol, cdfiliopelog, cdfilial, cdservfili,"
                          " cdturno, dtrequipedido FROM numbered) o",
                      {after, kBenchCaller.operatorName, db::Timestamp{server::localNow()}, "0001"});
            c.execute(numbered +
                          "UPDATE requisition SET nrpedexol = n.nrpedexol FROM numbered n"
                          " WHERE n.nrrequipedido = requisition.nrrequipedido",
                      {after});
            c.execute(
                "INSERT INTO purchase_order_item (nrpedexol, cdproduto, qtpedido)"
                " SELECT r.nrpedexol, i.cdproduto, sum(i.qtrequisitada)"
                " FROM requisition r JOIN requisition_item i ON i.nrrequipedido = r.nrrequipedido"
                " WHERE r.nrpedexol > ? GROUP BY r.nrpedexol, i.cdproduto",
                {after});
        });
    }
    bench->check(state);
    // The CSV report wants every counter in every run of the program.
    state.counters["requisitions"] = double(bench->requisitions);
}

void registerPair(const std::string& name, OrderBench* bench) {
    benchmark::RegisterBenchmark((name + "_baseline").c_str(), baseline, bench)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
    benchmark::RegisterBenchmark((name + "_measured").c_str(), measured, bench)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    {
        const support::TempDir dir("krv-bench");
        OrderBench sqlite(dir.file("orders.db"));
        registerPair("BM_orders_sqlite", &sqlite);
        std::unique_ptr<OrderBench> postgres;
        if (const char* url = getenv("KRV_BENCH_POSTGRES_URL")) {
            postgres = std::make_unique<OrderBench>(url);
            registerPair("BM_orders_postgres", postgres.get());
        }
        benchmark::RunSpecifiedBenchmarks();
        benchmark::Shutdown();
    }
    return 0;
}
