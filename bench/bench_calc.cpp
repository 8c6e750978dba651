// The requisition calculation of one demo branch, 31 days, every service, with an increase
// and rounding, and the consumption forecast of the demo's logistic operator over the same
// 31 days, on SQLite and on PostgreSQL, each against bare SQL that computes and inserts the
// same rows from the same tables in one transaction. PostgreSQL needs
// KRV_BENCH_POSTGRES_URL (bench/run starts a throwaway cluster for it).
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "BenchSession.h"
#include "Statistics.h"
#include "server/model/Clock.h"
#include "server/objects/PedReqObject.h"
#include "server/service/Application.h"
#include "server/storage/Database.h"
#include "support/TempDir.h"

using namespace krv;
namespace db = krv::server::db;

namespace {

constexpr const char* kBranch = "0001";
constexpr const char* kOperator = "0007";
constexpr int kDays = 31;

// The quantities both computations start from (raw material, per capita, fixed on the
// first shift), written once by hand; "{kitchens}" is the condition on a branch code that
// picks the kitchens. The demo has diners on every day, so the days of their forecasts
// are the period's days.
const char* const kComputed = R"sql(
WITH computed (cdfilial, cdservfili, cdturno, dt, cdproduto, tp, qt) AS (
    SELECT m.cdfilial, m.cdservfili, m.cdturno, m.dtcardapio, rc.cdproduto, 'C', sum(f.nrcomensais * rc.qtpercapita)
    FROM menu m
    JOIN diners_forecast f ON f.cdfilial = m.cdfilial AND f.cdservfili = m.cdservfili
        AND f.cdturno = m.cdturno AND f.dtprevisao = m.dtcardapio
    JOIN recipe rc ON rc.cdprato = m.cdprato
    WHERE m.cdfilial {kitchens} AND m.dtcardapio BETWEEN ?2 AND ?3
    GROUP BY m.cdfilial, m.cdservfili, m.cdturno, m.dtcardapio, rc.cdproduto
    UNION ALL
    SELECT f.cdfilial, f.cdservfili, f.cdturno, f.dtprevisao, pc.cdproduto, 'P', f.nrcomensais * pc.qtpercapita
    FROM diners_forecast f
    JOIN percapita_consumption pc ON pc.cdfilial = f.cdfilial AND pc.cdservfili = f.cdservfili
    WHERE f.cdfilial {kitchens} AND f.dtprevisao BETWEEN ?2 AND ?3
    UNION ALL
    SELECT fc.cdfilial, fc.cdservfili, min(s.cdturno), f.dtprevisao, fc.cdproduto, 'F', fc.qtdiaria
    FROM fixed_consumption fc
    JOIN shift s ON s.cdfilial = fc.cdfilial AND s.cdservfili = fc.cdservfili
    CROSS JOIN (SELECT DISTINCT dtprevisao FROM diners_forecast WHERE cdfilial {kitchens}
                AND dtprevisao BETWEEN ?2 AND ?3) f
    WHERE fc.cdfilial {kitchens}
    GROUP BY fc.cdfilial, fc.cdservfili, f.dtprevisao, fc.cdproduto, fc.qtdiaria
)
)sql";

std::string computedFor(const std::string& kitchens) {
    std::string sql = kComputed;
    for (size_t at = sql.find("{kitchens}"); at != std::string::npos; at = sql.find("{kitchens}", at))
        sql.replace(at, 10, kitchens);
    return sql;
}

// The calculation's rows of one branch: 10 % more, whole packages.
const std::string kQuantities = computedFor("= ?1") + R"sql(, adjusted AS (
    SELECT q.cdservfili, q.cdturno, q.dt, q.cdproduto, q.tp, p.cdgrupprod, p.cdsubgrprod,
        ceil(q.qt * 1.1 / p.qtembalagem - 1e-9) * p.qtembalagem AS qt
    FROM computed q JOIN product p ON p.cdproduto = q.cdproduto WHERE q.qt > 0
)
)sql";

// "?1" … "?3" above stand for the branch and the period; both engines take "?" only.
std::string positional(const std::string& sql, std::vector<db::Param>& params, const std::vector<db::Param>& values) {
    std::string out;
    for (size_t i = 0; i < sql.size(); ++i) {
        if (sql[i] == '?' && i + 1 < sql.size() && sql[i + 1] >= '1' && sql[i + 1] <= '9') {
            params.push_back(values.at(size_t(sql[i + 1] - '1')));
            out += '?';
            ++i;
        } else {
            out += sql[i];
        }
    }
    return out;
}

// The forecast's rows: every branch the operator supplies, shifts summed, nothing added.
void bareForecast(db::Connection& c, DateTime start, DateTime end) {
    c.write([&](db::Connection& c) {
        c.execute("DELETE FROM consumption_forecast WHERE cdfiliopelog = ? AND dtprevisao BETWEEN ? AND ?",
                  {kOperator, start, end});
        db::Params params;
        const std::string forecast = positional(
            computedFor("IN (SELECT cdfilial FROM branch WHERE cdfiliopelog = ?1)") +
                "INSERT INTO consumption_forecast (cdfiliopelog, cdfilial, cdservfili, dtprevisao, cdproduto,"
                " qtprevista, cdoperador, dtlancamento)"
                " SELECT ?1, cdfilial, cdservfili, dt, cdproduto, sum(qt), 'BENCH', ?4 FROM computed"
                " GROUP BY cdfilial, cdservfili, dt, cdproduto HAVING sum(qt) > 0",
            params, {kOperator, start, end, db::Timestamp{start}});
        c.execute(forecast, params);
    });
}

void bareCalculation(db::Connection& c, DateTime start, DateTime end) {
    const std::vector<db::Param> values{kBranch, start, end};
    c.write([&](db::Connection& c) {
        c.execute(
            "DELETE FROM requisition_item WHERE nrrequipedido IN (SELECT nrrequipedido FROM requisition"
            " WHERE cdfilial = ? AND dtrequipedido BETWEEN ? AND ?)",
            values);
        c.execute("DELETE FROM requisition WHERE cdfilial = ? AND dtrequipedido BETWEEN ? AND ?", values);
        db::Params params;
        const std::string requisitions = positional(
            kQuantities +
                "INSERT INTO requisition (cdfilial, cdservfili, cdturno, dtrequipedido, cdgrupprod, cdsubgrprod,"
                " cdfiliopelog, nrseqrequipedido, cdfildest, cdfillanc, cdoperador, dtlancamento)"
                " SELECT ?1, n.cdservfili, n.cdturno, n.dt, n.cdgrupprod, n.cdsubgrprod, '0007',"
                " CAST(row_number() OVER (PARTITION BY n.dt ORDER BY n.cdservfili) AS TEXT), ?1, ?1, 'BENCH', ?4"
                " FROM (SELECT DISTINCT cdservfili, cdturno, dt, cdgrupprod, cdsubgrprod FROM adjusted) n",
            params, {kBranch, start, end, db::Timestamp{start}});
        c.execute(requisitions, params);
        params.clear();
        const std::string items = positional(
            kQuantities +
                "INSERT INTO requisition_item (nrrequipedido, cdproduto, idtipoconsumo, qtrequisitada)"
                " SELECT r.nrrequipedido, a.cdproduto, a.tp, a.qt FROM adjusted a JOIN requisition r"
                " ON r.cdfilial = ?1 AND r.cdservfili = a.cdservfili AND r.cdturno = a.cdturno"
                " AND r.dtrequipedido = a.dt AND r.cdgrupprod = a.cdgrupprod AND r.cdsubgrprod = a.cdsubgrprod",
            params, values);
        c.execute(items, params);
    });
}

// A demo database of one engine, with a service list of every service of the branch.
struct Company {
    explicit Company(const std::string& target) : app({target, true}), target(target) {
        const auto& d = app.dispatcher();
        std::vector<Variant> args{kBranch, "T", ""};
        services = d.dispatch(kBenchCaller, server::PedReqObject::kName, "GetNrListaServ", args)
                       .result.array()
                       .at(1)
                       .array()
                       .at(0);
        start = server::localNow().date();  // the demo data lie around the day it was seeded
        end = start.addDays(kDays - 1);
    }
    db::Connection& connection() { return app.database().connection(); }

    void calculate() {
        std::vector<Variant> args{kBranch, start,    end,  10.0, "S", "CFP", kBenchCaller.operatorName,
                                  kBranch, services, list, ""};
        const rpc::Outcome outcome =
            app.dispatcher().dispatch(kBenchCaller, server::PedReqObject::kName, "CalculaRequisicoes", args);
        if (!outcome.ok || !outcome.result.array().at(0).asBool())
            throw std::runtime_error("CalculaRequisicoes: " + outcome.result.asString());
        list = outcome.args.at(9);
    }
    void forecast() {
        const rpc::Outcome outcome =
            app.dispatcher().dispatch(kBenchCaller, server::PedReqObject::kName, "CalculaPrevisaoConsumo",
                                      {kOperator, start, end, kBenchCaller.operatorName});
        if (!outcome.ok || !outcome.result.array().at(0).asBool())
            throw std::runtime_error("CalculaPrevisaoConsumo: " + outcome.result.asString());
    }
    int64_t items() { return *connection().integer("SELECT count(*) FROM requisition_item"); }
    int64_t forecastRows() { return *connection().integer("SELECT count(*) FROM consumption_forecast"); }

    server::Application app;
    std::string target;
    Variant services;
    Variant list = std::string();
    DateTime start, end;
};

// One company per engine for the whole run; both sides of a pair must write the same
// number of items, or the comparison would mean nothing.
Company* company(const std::string& engine) {
    static std::map<std::string, std::unique_ptr<Company>> companies;
    static const support::TempDir dir("krv-bench");
    auto& found = companies[engine];
    if (!found) {
        std::string target = dir.file("bench.db");
        if (engine == "postgres") {
            const char* url = getenv("KRV_BENCH_POSTGRES_URL");
            if (!url) return nullptr;
            target = url;
        }
        found = std::make_unique<Company>(target);
        const auto compare = [&](const char* what, void (Company::*measured)(), auto bare, int64_t (Company::*rows)()) {
            ((*found).*measured)();
            const int64_t written = ((*found).*rows)();
            bare(found->connection(), found->start, found->end);
            const int64_t bareWritten = ((*found).*rows)();
            if (bareWritten != written || written == 0)
                throw std::runtime_error(std::string(what) + ": the bare SQL writes " + std::to_string(bareWritten) +
                                         " rows, the server " + std::to_string(written));
        };
        compare("calculation", &Company::calculate, bareCalculation, &Company::items);
        compare("forecast", &Company::forecast, bareForecast, &Company::forecastRows);
    }
    return found.get();
}

enum class Task { Calculation, Forecast };

template <bool kMeasured>
void run(benchmark::State& state, const std::string& engine, Task task = Task::Calculation) {
    Company* c = company(engine);
    if (!c) {
        state.SkipWithError("KRV_BENCH_POSTGRES_URL not set (bench/run starts a cluster for it)");
        return;
    }
    bench::analyzeIfPostgres(c->connection(), c->target);
    for (auto _ : state) {
        if constexpr (kMeasured)
            task == Task::Calculation ? c->calculate() : c->forecast();
        else
            (task == Task::Calculation ? bareCalculation : bareForecast)(c->connection(), c->start, c->end);
    }
}

void BM_calc_sqlite_baseline(benchmark::State& state) { run<false>(state, "sqlite"); }
void BM_calc_sqlite_measured(benchmark::State& state) { run<true>(state, "sqlite"); }
void BM_calc_postgres_baseline(benchmark::State& state) { run<false>(state, "postgres"); }
void BM_calc_postgres_measured(benchmark::State& state) { run<true>(state, "postgres"); }
void BM_forecast_sqlite_baseline(benchmark::State& state) { run<false>(state, "sqlite", Task::Forecast); }
void BM_forecast_sqlite_measured(benchmark::State& state) { run<true>(state, "sqlite", Task::Forecast); }
void BM_forecast_postgres_baseline(benchmark::State& state) { run<false>(state, "postgres", Task::Forecast); }
void BM_forecast_postgres_measured(benchmark::State& state) { run<true>(state, "postgres", Task::Forecast); }

}  // namespace

BENCHMARK(BM_calc_sqlite_baseline)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_calc_sqlite_measured)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_calc_postgres_baseline)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_calc_postgres_measured)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_forecast_sqlite_baseline)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_forecast_sqlite_measured)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_forecast_postgres_baseline)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_forecast_postgres_measured)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
