// Rendering the requisition report of one month of every service shift of a branch to PDF
// (several thousand item lines), against the same item lines drawn with bare QPainter
// calls on a QPdfWriter: the engine's layout, grouping and page furniture must stay cheap.
#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <QLocale>

#include "BarePdf.h"
#include "host/report/ReportEngine.h"
#include "support/ReportSamples.h"

using namespace krv;
using namespace krv::host;

namespace {

// 31 days of four service shifts, 50 products each: 6 200 item lines.
const DataPacket& monthRows() {
    static const DataPacket rows = test::RequisitionReportRows(31 * 4, 50);
    return rows;
}

TParams reportParams() {
    TParams params;
    params.Add("P_CDFILIAL").SetAsString("0001");
    params.Add("P_DATAINI").SetAsVariant(DateTime::fromDate(2026, 3, 1));
    params.Add("P_DATAFIN").SetAsVariant(DateTime::fromDate(2026, 3, 31));
    params.Add("P_IDIMPRIMECARD").SetAsString("N");
    params.Add("P_IDQUEBRAPAGINA").SetAsString("N");
    params.Add("P_NRLINHABRANCA").SetAsInteger(1);
    return params;
}

const ReportDefinition& definition() {
    static const ReportDefinition d = ReportDefinition::Load(KRV_REPORTS_DIR "/KRV520.json");
    return d;
}

void BM_report_baseline(benchmark::State& state) {
    const DataPacket& rows = monthRows();
    const QPageLayout page = DefaultPageLayout(definition());
    const QLocale brazil(QLocale::Portuguese, QLocale::Brazil);
    for (auto _ : state)
        benchmark::DoNotOptimize(bench::PaintBareLines(
            page, rows.rows, {0, 14, 50, 55, 68, 81, 94, 107}, {false, false, false, true, true, true, true},
            [&](const Row& row, int c) {
                return c < 3 ? QString::fromStdString(row[size_t(10 + c)].asString())
                             : brazil.toString(row[size_t(10 + c)].asDouble(), 'f', 3);
            }));
    state.counters["lines"] = double(rows.rows.size());
}

void BM_report_measured(benchmark::State& state) {
    const DataPacket& rows = monthRows();
    const QPageLayout page = DefaultPageLayout(definition());
    for (auto _ : state) {
        TParams params = reportParams();
        const ReportDocument document =
            LayoutReport(definition(), params, rows, page, {QDateTime::currentDateTime(), "BENCH"});
        bench::MemoryPdf pdf(page);
        QPainter painter(&pdf.writer);
        PaintReport(document, pdf.writer, painter);
        painter.end();
        benchmark::DoNotOptimize(pdf.bytes.size());
    }
    state.counters["lines"] = double(rows.rows.size());
}

BENCHMARK(BM_report_baseline)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_report_measured)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
