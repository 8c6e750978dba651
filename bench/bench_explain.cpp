// "Why this quantity?": the explanation of one requisition item through the server's
// dispatcher, against a GetFilial call plus bare SQL reading the same rows (the item's
// stored quantities and the menu dishes, per capita and fixed consumption behind them), on
// a demo database calculated for a week with an increase and rounding.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>

#include "BenchSession.h"
#include "server/model/Clock.h"
#include "server/objects/PedReqObject.h"
#include "server/service/Application.h"
#include "server/storage/Database.h"

using namespace krv;
namespace db = krv::server::db;

namespace {

constexpr const char* kBranch = "0001";

const char* const kStored =
    "SELECT r.cdfilial, r.cdservfili, r.cdturno, r.dtrequipedido, i.idtipoconsumo, i.qtrequisitada, i.pcacrescimo,"
    " i.qtembalagem FROM requisition r JOIN requisition_item i ON i.nrrequipedido = r.nrrequipedido"
    " WHERE r.nrrequipedido = ? AND i.cdproduto = ?";

const char* const kMakeUp =
    "SELECT 'C', m.cdturno, d.nmprato, f.nrcomensais, rc.qtpercapita, f.nrcomensais * rc.qtpercapita FROM menu m"
    " JOIN diners_forecast f ON f.cdfilial = m.cdfilial AND f.cdservfili = m.cdservfili AND f.cdturno = m.cdturno"
    " AND f.dtprevisao = m.dtcardapio JOIN recipe rc ON rc.cdprato = m.cdprato AND rc.cdproduto = ?"
    " JOIN dish d ON d.cdprato = m.cdprato"
    " WHERE m.cdfilial = ? AND m.cdservfili = ? AND m.dtcardapio = ? AND m.cdturno = ?"
    " UNION ALL SELECT 'P', f.cdturno, '', f.nrcomensais, pc.qtpercapita, f.nrcomensais * pc.qtpercapita"
    " FROM diners_forecast f JOIN percapita_consumption pc ON pc.cdfilial = f.cdfilial"
    " AND pc.cdservfili = f.cdservfili AND pc.cdproduto = ?"
    " WHERE f.cdfilial = ? AND f.cdservfili = ? AND f.dtprevisao = ? AND f.cdturno = ?"
    " UNION ALL SELECT 'F', '', '', NULL, fc.qtdiaria, fc.qtdiaria FROM fixed_consumption fc"
    " WHERE fc.cdproduto = ? AND fc.cdfilial = ? AND fc.cdservfili = ?";

// A demo company on SQLite, one week calculated, and its raw-material item with the most
// dishes behind it.
struct Company {
    Company() {
        std::string pattern = (std::filesystem::temp_directory_path() / "krv-bench-XXXXXX").string();
        if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
        dir = pattern;
        app = std::make_unique<server::Application>(server::ApplicationOptions{(dir / "bench.db").string(), true});
        const DateTime start = server::localNow().date();
        std::vector<Variant> list{kBranch, "T", ""};
        const Variant services = app->dispatcher()
                                     .dispatch(kBenchCaller, server::PedReqObject::kName, "GetNrListaServ", list)
                                     .result.array()
                                     .at(1)
                                     .array()
                                     .at(0);
        const rpc::Outcome calculated = app->dispatcher().dispatch(
            kBenchCaller, server::PedReqObject::kName, "CalculaRequisicoes",
            {kBranch, start, start.addDays(6), 10.0, "S", "CFP", kBenchCaller.operatorName, kBranch, services, "", ""});
        if (!calculated.ok || !calculated.result.array().at(0).asBool())
            throw std::runtime_error("CalculaRequisicoes: " + calculated.result.asString());
        db::Connection& c = app->database().connection();
        c.each(
            "SELECT r.nrrequipedido, i.cdproduto, r.cdservfili, r.cdturno, r.dtrequipedido FROM requisition r"
            " JOIN requisition_item i ON i.nrrequipedido = r.nrrequipedido JOIN menu m ON m.cdfilial = r.cdfilial"
            " AND m.cdservfili = r.cdservfili AND m.cdturno = r.cdturno AND m.dtcardapio = r.dtrequipedido"
            " JOIN recipe rc ON rc.cdprato = m.cdprato AND rc.cdproduto = i.cdproduto WHERE i.idtipoconsumo = 'C'"
            " GROUP BY r.nrrequipedido, i.cdproduto, r.cdservfili, r.cdturno, r.dtrequipedido"
            " ORDER BY count(*) DESC, r.nrrequipedido LIMIT 1",
            {}, [&](const db::ResultRow& row) {
                requisition = row.integer(0);
                product = row.text(1);
                service = row.text(2);
                shift = row.text(3);
                day = *DateTime::parseIso(row.text(4));
            });
        if (product.empty()) throw std::runtime_error("no raw-material item was calculated");
    }
    ~Company() {
        app.reset();
        std::filesystem::remove_all(dir);
    }

    std::filesystem::path dir;
    std::unique_ptr<server::Application> app;
    int64_t requisition = 0;
    std::string product, service, shift;
    DateTime day;
};

Company& company() {
    static Company instance;
    return instance;
}

void BM_explain_baseline(benchmark::State& state) {
    Company& c = company();
    db::Connection& connection = c.app->database().connection();
    for (auto _ : state) {
        benchmark::DoNotOptimize(
            c.app->dispatcher().dispatch(kBenchCaller, server::PedReqObject::kName, "GetFilial", {kBranch}));
        int rows = 0;
        const auto count = [&](const db::ResultRow& row) { rows += row.text(0).size() > 0; };
        connection.each(kStored, {c.requisition, c.product}, count);
        connection.each(kMakeUp,
                        {c.product, kBranch, c.service, c.day, c.shift, c.product, kBranch, c.service, c.day, c.shift,
                         c.product, kBranch, c.service},
                        count);
        benchmark::DoNotOptimize(rows);
    }
}

void BM_explain_measured(benchmark::State& state) {
    Company& c = company();
    for (auto _ : state) {
        const rpc::Outcome outcome = c.app->dispatcher().dispatch(kBenchCaller, server::PedReqObject::kName,
                                                                  "ExplicaItemRequisicao", {c.requisition, c.product});
        if (!outcome.ok || !outcome.result.array().at(0).asBool())
            state.SkipWithError(("ExplicaItemRequisicao: " + outcome.result.asString()).c_str());
        benchmark::DoNotOptimize(outcome);
    }
}

}  // namespace

BENCHMARK(BM_explain_baseline)->UseRealTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_explain_measured)->UseRealTime()->Unit(benchmark::kMicrosecond);
BENCHMARK_MAIN();
