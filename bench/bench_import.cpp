// Import of a company's exported files into an empty SQLite database, against bare multi-row
// inserts of the same rows in one transaction. Both start from a freshly migrated database,
// made outside the timing. The company is the demo one.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

#include "server/seed/DemoSeed.h"
#include "server/storage/SqlBuilder.h"
#include "server/stores/Schema.h"
#include "server/transfer/Export.h"
#include "server/transfer/Import.h"
#include "server/transfer/TransferStore.h"
#include "support/TempDir.h"

using namespace krv;
using namespace krv::server;

namespace {

// The 70-branch demo company's files, and its rows as statement parameters for the baseline.
struct Company {
    support::TempDir dir{"krv-bench-import"};
    std::vector<std::pair<const transfer::RecordKind*, std::vector<db::Params>>> rows;

    Company() {
        const auto source = db::openDatabase(dir.file("source.db"));
        db::Connection& c = source->connection();
        migrate(c);
        seedDemo(c, DateTime::fromDate(2026, 3, 15), DemoSize{70});
        transfer::exportFolder(c, dir.path() / "files");
        transfer::TransferStore store(c);
        for (const transfer::RecordKind& kind : transfer::recordKinds()) {
            auto& params = rows.emplace_back(&kind, std::vector<db::Params>{}).second;
            store.each(kind, [&](transfer::Record&& record) {
                db::Params values;
                for (const transfer::Value& v : record) values.push_back(transfer::toParam(v));
                params.push_back(std::move(values));
            });
        }
    }
};

const Company& company() {
    static const Company made;
    return made;
}

struct EmptyDatabase {
    support::TempDir dir{"krv-bench-import-target"};
    std::unique_ptr<db::Database> database = db::openDatabase(dir.file("target.db"));
    db::Connection& connection() { return database->connection(); }
    EmptyDatabase() { migrate(connection()); }
};

void bareInserts(db::Connection& c, const transfer::RecordKind& kind, const std::vector<db::Params>& rows) {
    std::string head = "INSERT INTO " + kind.table + " (";
    for (size_t i = 0; i < kind.columns.size(); ++i) head += (i ? ", " : "") + kind.columns[i].name;
    head += ") VALUES ";
    const size_t perStatement = db::kChunk / kind.columns.size();
    for (size_t from = 0; from < rows.size(); from += perStatement) {
        const std::vector<db::Params> slice(rows.begin() + long(from),
                                            rows.begin() + long(std::min(rows.size(), from + perStatement)));
        db::Sql sql;
        sql(head).rows(slice, [](const db::Params& p) { return p; });
        c.execute(sql.text(), sql.params());
    }
}

void BM_import_baseline(benchmark::State& state) {
    const Company& source = company();
    for (auto _ : state) {
        state.PauseTiming();
        auto target = std::make_unique<EmptyDatabase>();
        state.ResumeTiming();
        target->connection().write([&](db::Connection& c) {
            for (const auto& [kind, rows] : source.rows) {
                // The migration already wrote these two: the parameters row and code picture 0.
                if (kind->single) {
                    c.execute(
                        "UPDATE parameters SET cdtipopratoconsfixo = ?, cdpratoconsfixo = ?,"
                        " cdtipopratoconsper = ?, cdpratoconsper = ? WHERE id = 1",
                        rows.at(0));
                } else if (kind->table != "code_picture") {
                    bareInserts(c, *kind, rows);
                }
            }
        });
        state.PauseTiming();
        target.reset();
        state.ResumeTiming();
    }
}

void BM_import_measured(benchmark::State& state) {
    const Company& source = company();
    for (auto _ : state) {
        state.PauseTiming();
        auto target = std::make_unique<EmptyDatabase>();
        state.ResumeTiming();
        const auto result = transfer::importFolder(target->connection(), source.dir.path() / "files", {});
        if (!result.committed)
            state.SkipWithError(result.problems.empty() ? "not committed" : result.problems[0].c_str());
        state.PauseTiming();
        target.reset();
        state.ResumeTiming();
    }
}

}  // namespace

BENCHMARK(BM_import_baseline)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_import_measured)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
