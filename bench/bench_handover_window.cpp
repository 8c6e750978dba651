// The logistic operator's documents and window on the 70-kitchen demo company (SQLite):
// - BM_separacao: the pick list KRV522 of one logistic operator's week laid out and written as
//   PDF by the report engine, against the same lines drawn with bare QPainter calls;
// - BM_pedidoswindow: "Pedidos Gerados" listing at least 10 000 orders over loopback (the call,
//   the grid, the status line and the first order's lines), against the bare decode of the
//   same packet; judged by its own time (under a second).
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QLocale>

#include "BarePdf.h"
#include "BenchSession.h"
#include "MonthOfOrders.h"
#include "core/Codec.h"
#include "host/report/ReportEngine.h"
#include "host/session/NetConnection.h"
#include "host/session/Session.h"
#include "ordergen/TfrmPedidos.h"
#include "rpc/Server.h"
#include "server/model/Clock.h"
#include "server/objects/PedReqObject.h"
#include "server/objects/ReportObject.h"
#include "server/service/Application.h"
#include "support/TempDir.h"

using namespace krv;
using namespace krv::host;

namespace {

constexpr int kOrderDays = 31;
constexpr int kLinesPerOrder = 10;
constexpr int64_t kWindowOrders = 10000;
constexpr const char* kPassword = "bench";

struct World {
    World() {
        server::ApplicationOptions options{dir.file("window.db"), true};
        options.demoSize = server::DemoSize{70};
        app = std::make_unique<server::Application>(options);
        today = server::localNow().date();
        bench::addMonthOfOrders(app->database().connection(), today, kOrderDays, kLinesPerOrder);
        const int64_t perDay =
            *app->database().connection().integer("SELECT count(*) FROM purchase_order WHERE dtpedido = ?", {today});
        windowDays = int((kWindowOrders + perDay - 1) / perDay);
        logisticOperator = *app->database().connection().text("SELECT min(cdfilial) FROM branch WHERE ol = 'S'");

        rpc::ServerOptions serverOptions;
        serverOptions.login = [](rpc::LoginRequest r, rpc::LoginReply reply) {
            reply(rpc::LoginAnswer{r.operatorName == kBenchCaller.operatorName && r.password == kPassword});
        };
        transport = std::make_unique<rpc::Server>(app->dispatcher(), serverOptions);
        transport->start();
        SetSession(
            {"T", QString::fromStdString(kBenchCaller.operatorName), "127.0.0.1", transport->port(), "", kPassword});
        net.ServerName = server::PedReqObject::kName;
        net.BeforeConnect = [](TNetConnection& c) {
            c.Host = CurrentSession().host;
            c.Port = CurrentSession().port;
        };
    }
    ~World() { transport->stop(); }

    Variant payload(const std::string& object, const std::string& method, std::vector<Variant> args) {
        const rpc::Outcome outcome = app->dispatcher().dispatch(kBenchCaller, object, method, std::move(args));
        return outcome.result.array().at(1);
    }

    support::TempDir dir{"krv-bench"};
    std::unique_ptr<server::Application> app;
    std::unique_ptr<rpc::Server> transport;
    TNetConnection net;
    DateTime today;
    int windowDays = 1;
    std::string logisticOperator;
};

World& world() {
    static World instance;
    return instance;
}

const ReportDefinition& pickList() {
    static const ReportDefinition d = ReportDefinition::Load(KRV_REPORTS_DIR "/KRV522.json");
    return d;
}

const DataPacket& weekRows() {
    static const DataPacket rows = [] {
        World& w = world();
        Variant::Array params;
        const std::pair<const char*, Variant> pairs[] = {{"P_CDFILIAL", Variant(w.logisticOperator)},
                                                         {"P_DATAINI", Variant(w.today)},
                                                         {"P_DATAFIN", Variant(w.today.addDays(6))},
                                                         {"P_IDRESUMO", Variant("S")}};
        for (const auto& [name, value] : pairs) params.push_back(Variant(Variant::Array{Variant(name), value}));
        return w.payload(server::ReportObject::kName, "GetDados", {"KRV522", Variant(params)}).packet();
    }();
    return rows;
}

// The CSV report wants every counter in every run of the program.
void counters(benchmark::State& state, double orders) {
    state.counters["lines"] = double(weekRows().rows.size());
    state.counters["orders"] = orders;
}

void BM_separacao_baseline(benchmark::State& state) {
    const DataPacket& rows = weekRows();
    const QPageLayout page = DefaultPageLayout(pickList());
    const QLocale brazil(QLocale::Portuguese, QLocale::Brazil);
    // The sub-lines' columns: kitchen, name, order, service, shift, quantity, packages.
    for (auto _ : state)
        benchmark::DoNotOptimize(bench::PaintBareLines(
            page, rows.rows, {0, 8, 44, 56, 65, 72, 86, 97}, {false, false, true, false, false, true, true},
            [&](const Row& row, int c) {
                const Variant& v = row[size_t(8 + c)];
                return c == 5 ? brazil.toString(v.asDouble(), 'f', 3) : QString::fromStdString(v.asString());
            }));
    counters(state, 0);
}

void BM_separacao_measured(benchmark::State& state) {
    const DataPacket& rows = weekRows();
    const QPageLayout page = DefaultPageLayout(pickList());
    for (auto _ : state) {
        TParams params;
        params.Add("P_CDFILIAL").SetAsString(world().logisticOperator);
        params.Add("P_DATAINI").SetAsVariant(world().today);
        params.Add("P_DATAFIN").SetAsVariant(world().today.addDays(6));
        params.Add("P_IDRESUMO").SetAsString("S");
        const ReportDocument document =
            LayoutReport(pickList(), params, rows, page, {QDateTime::currentDateTime(), "BENCH"});
        bench::MemoryPdf pdf(page);
        QPainter painter(&pdf.writer);
        PaintReport(document, pdf.writer, painter);
        painter.end();
        benchmark::DoNotOptimize(pdf.bytes.size());
    }
    counters(state, 0);
}

std::vector<Variant> windowFilter() {
    World& w = world();
    return {"T", w.today, w.today.addDays(w.windowDays - 1), "T"};
}

void BM_pedidoswindow_baseline(benchmark::State& state) {
    const std::string bytes = codec::encode(world().payload(server::PedReqObject::kName, "GetPedidos", windowFilter()));
    for (auto _ : state) benchmark::DoNotOptimize(codec::decode(bytes));
    counters(state, 0);
}

void BM_pedidoswindow_measured(benchmark::State& state) {
    World& w = world();
    ordergen::TfrmPedidos window(w.net, "T", w.today, w.today.addDays(w.windowDays - 1));
    window.resize(1000, 640);
    window.show();
    for (auto _ : state) {
        window.sbtAtualizarClick();
        QCoreApplication::processEvents();
    }
    counters(state, window.cdsPedidos.RecordCount());
}

BENCHMARK(BM_separacao_baseline)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_separacao_measured)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_pedidoswindow_baseline)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_pedidoswindow_measured)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
