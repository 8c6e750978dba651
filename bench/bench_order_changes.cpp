// The preview of a generation and the cancellation of 1 000 orders: the server methods
// PreviaPedidoPorRequisicao and CancelaPedido, from their arguments to the committed
// writes, against bare SQL doing the same reads and writes in one transaction. On SQLite,
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
#include "server/domain/OrderGeneration.h"
#include "server/objects/PedReqObject.h"
#include "server/service/Application.h"
#include "server/stores/OrderStore.h"

using namespace krv;
namespace db = krv::server::db;

namespace {

constexpr int64_t kOrders = 1000;
const DateTime kFirstDay = DateTime::fromDate(2026, 3, 15);

// Enough open requisitions, one order per day and shift, for kOrders orders; all in one list.
struct ChangesBench {
    explicit ChangesBench(const std::string& database) : app({database, true}), target(database) {
        db::Connection& c = sql();
        const int64_t shifts = *c.integer("SELECT count(*) FROM shift");
        days = int((kOrders + shifts - 1) / shifts);
        server::test::addManyRequisitions(c, kFirstDay, days);
        const bench::Listed listed = bench::listEveryRequisition(c);
        list = listed.list;
        requisitions = listed.requisitions;
    }

    db::Connection& sql() { return app.database().connection(); }
    std::vector<Variant> generationArgs() const {
        return {"0001",
                kFirstDay,
                kFirstDay.addDays(days - 1),
                std::to_string(list),
                "S",
                kBenchCaller.operatorName,
                "0001",
                "",
                "",
                "S"};
    }

    server::Application app;
    std::string target;
    int days = 0;
    int64_t list = 0;
    int64_t requisitions = 0;
};

void counters(benchmark::State& state, const ChangesBench* bench) {
    state.counters["requisitions"] = double(bench->requisitions);
}

void previewMeasured(benchmark::State& state, ChangesBench* bench) {
    for (auto _ : state) {
        const rpc::Outcome outcome = bench->app.dispatcher().dispatch(
            kBenchCaller, server::PedReqObject::kName, "PreviaPedidoPorRequisicao", bench->generationArgs());
        if (!outcome.ok || outcome.result.array().at(0) != Variant(true)) {
            state.SkipWithError(outcome.result.asString().c_str());
            break;
        }
    }
    counters(state, bench);
}

// The same lines and the same remembered rows, without the checks, the digests and the
// packet's packages and surplus.
void previewBaseline(benchmark::State& state, ChangesBench* bench) {
    server::OrderRequest request;
    request.list = bench->list;
    request.period = {kFirstDay, kFirstDay.addDays(bench->days - 1)};
    request.roundToPackage = true;
    for (auto _ : state) {
        bench->sql().write([&](db::Connection& c) {
            int64_t lines = 0;
            c.each(server::numberedOrders(true) +
                       "SELECT n.nrpedexol, n.cdfiliopelog, b.nmfilial, n.dtpedido, n.cdfilial, n.cdservfili,"
                       " n.cdturno, i.cdproduto, p.nmproduto, p.sgunidade, sum(i.qtrequisitada),"
                       " ceil(sum(i.qtrequisitada) / p.qtembalagem) * p.qtembalagem, p.qtembalagem"
                       " FROM numbered n JOIN branch b ON b.cdfilial = n.cdfiliopelog"
                       " JOIN requisition_item i ON i.nrrequipedido = n.nrrequipedido"
                       " JOIN product p ON p.cdproduto = i.cdproduto"
                       " GROUP BY n.nrpedexol, n.cdfiliopelog, b.nmfilial, n.dtpedido, n.cdfilial, n.cdservfili,"
                       " n.cdturno, i.cdproduto, p.nmproduto, p.sgunidade, p.qtembalagem ORDER BY 1, 8",
                   server::numberedOrdersParams(request, 0), [&](const db::ResultRow&) { ++lines; });
            c.each(
                "SELECT r.nrrequipedido, i.cdproduto, i.idtipoconsumo, i.qtrequisitada"
                " FROM requisition_list_item l JOIN requisition r ON r.nrrequipedido = l.nrrequipedido"
                " JOIN requisition_item i ON i.nrrequipedido = r.nrrequipedido"
                " WHERE l.nrlista = ? AND r.nrpedexol IS NULL ORDER BY 1, 2, 3",
                {bench->list}, [](const db::ResultRow&) {});
            c.execute("DELETE FROM order_preview WHERE nrlista = ?", {bench->list});
            c.execute("INSERT INTO order_preview (nrlista, dsargumentos) VALUES (?, 'x')", {bench->list});
            c.execute(
                "INSERT INTO order_preview_item (nrlista, nrrequipedido, dsitens)"
                " SELECT l.nrlista, l.nrrequipedido, '0123456789abcdef' FROM requisition_list_item l"
                " WHERE l.nrlista = ?",
                {bench->list});
            benchmark::DoNotOptimize(lines);
        });
    }
    counters(state, bench);
}

// The orders of the whole list, generated once; the pause before each run points the
// requisitions at them, and the run cancels the first kOrders.
struct Ordered {
    explicit Ordered(ChangesBench* bench) : bench(bench) {
        db::Connection& c = bench->sql();
        std::vector<Variant> args = bench->generationArgs();
        bench->app.dispatcher().dispatch(kBenchCaller, server::PedReqObject::kName, "GeraPedidoPorRequisicao", args);
        c.execute("CREATE TABLE IF NOT EXISTS bench_assignment AS SELECT nrrequipedido, nrpedexol FROM requisition");
        c.each("SELECT nrpedexol FROM purchase_order ORDER BY nrpedexol LIMIT " + std::to_string(kOrders), {},
               [&](const db::ResultRow& row) {
                   keys += "_" + std::to_string(row.integer(0));
                   numbers.emplace_back(row.integer(0));
               });
        keys += "_";
        // Open again until a run needs them ordered: the previews run on the same list.
        c.execute("UPDATE requisition SET nrpedexol = NULL");
        marks = "?";
        for (size_t i = 1; i < numbers.size(); ++i) marks += ", ?";
    }
    void restore() {
        bench->sql().write([](db::Connection& c) {
            c.execute("DELETE FROM purchase_order_cancellation");
            c.execute(
                "UPDATE requisition SET nrpedexol = (SELECT b.nrpedexol FROM bench_assignment b"
                " WHERE b.nrrequipedido = requisition.nrrequipedido)");
        });
    }

    ChangesBench* bench;
    std::string keys, marks;
    db::Params numbers;
};

void cancelMeasured(benchmark::State& state, Ordered* ordered) {
    for (auto _ : state) {
        state.PauseTiming();
        ordered->restore();
        state.ResumeTiming();
        const rpc::Outcome outcome = ordered->bench->app.dispatcher().dispatch(
            kBenchCaller, server::PedReqObject::kName, "CancelaPedido", {ordered->keys, kBenchCaller.operatorName});
        if (!outcome.ok || outcome.result.array().at(0) != Variant(true)) {
            state.SkipWithError(outcome.result.asString().c_str());
            break;
        }
    }
    counters(state, ordered->bench);
}

void cancelBaseline(benchmark::State& state, Ordered* ordered) {
    for (auto _ : state) {
        state.PauseTiming();
        ordered->restore();
        state.ResumeTiming();
        ordered->bench->sql().write([&](db::Connection& c) {
            db::Params params = ordered->numbers;
            c.each(
                "SELECT o.nrpedexol, x.nrpedexol FROM purchase_order o LEFT JOIN purchase_order_cancellation x"
                " ON x.nrpedexol = o.nrpedexol WHERE o.nrpedexol IN (" +
                    ordered->marks + ")",
                params, [](const db::ResultRow&) {});
            params.insert(params.begin(), {kBenchCaller.operatorName, db::Timestamp{server::localNow()}});
            c.execute(
                "INSERT INTO purchase_order_cancellation (nrpedexol, cdoperador, dtcancelamento)"
                " SELECT nrpedexol, ?, ? FROM purchase_order WHERE nrpedexol IN (" +
                    ordered->marks + ")",
                params);
            c.execute("UPDATE requisition SET nrpedexol = NULL WHERE nrpedexol IN (" + ordered->marks + ")",
                      ordered->numbers);
        });
    }
    counters(state, ordered->bench);
}

ChangesBench* benchOf(ChangesBench* bench) { return bench; }
ChangesBench* benchOf(Ordered* ordered) { return ordered->bench; }

template <class Fixture>
void registerPair(const std::string& name, void (*baseline)(benchmark::State&, Fixture*),
                  void (*measured)(benchmark::State&, Fixture*), Fixture* fixture) {
    for (const auto& [suffix, fn] : {std::pair{"_baseline", baseline}, std::pair{"_measured", measured}})
        benchmark::RegisterBenchmark((name + suffix).c_str(),
                                     [fn = fn, fixture](benchmark::State& state) {
                                         ChangesBench* changes = benchOf(fixture);
                                         bench::analyzeIfPostgres(changes->sql(), changes->target);
                                         fn(state, fixture);
                                     })
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime()
            ->Iterations(5);
}

void registerAll(const std::string& engine, ChangesBench* bench, std::unique_ptr<Ordered>& ordered) {
    registerPair("BM_preview_" + engine, previewBaseline, previewMeasured, bench);
    ordered = std::make_unique<Ordered>(bench);
    registerPair("BM_cancel_" + engine, cancelBaseline, cancelMeasured, ordered.get());
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    std::string pattern = (std::filesystem::temp_directory_path() / "krv-bench-XXXXXX").string();
    if (!mkdtemp(pattern.data())) return 1;
    {
        ChangesBench sqlite(pattern + "/orders.db");
        std::unique_ptr<Ordered> sqliteOrdered, postgresOrdered;
        std::unique_ptr<ChangesBench> postgres;
        registerAll("sqlite", &sqlite, sqliteOrdered);
        if (const char* url = getenv("KRV_BENCH_POSTGRES_URL")) {
            postgres = std::make_unique<ChangesBench>(url);
            registerAll("postgres", postgres.get(), postgresOrdered);
        }
        benchmark::RunSpecifiedBenchmarks();
        benchmark::Shutdown();
    }
    std::filesystem::remove_all(pattern);
    return 0;
}
