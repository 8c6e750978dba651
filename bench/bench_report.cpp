// Rendering the requisition report of one month of every service of a branch to PDF
// (several thousand item lines), against the same item lines drawn with bare QPainter
// calls on a QPdfWriter: the engine's layout, grouping and page furniture must stay cheap.
#include <benchmark/benchmark.h>

#include <QBuffer>
#include <QGuiApplication>
#include <QLocale>
#include <QPainter>
#include <QPdfWriter>

#include "host/report/ReportEngine.h"

using namespace krv;
using namespace krv::host;

namespace {

constexpr int kDays = 31, kShifts = 5, kProducts = 40;

const DataPacket& monthRows() {
    static const DataPacket rows = [] {
        DataPacket p;
        p.fields = {{"CDFILIAL", FieldType::String, 4},     {"NMFILIAL", FieldType::String, 30},
                    {"DTREQUI", FieldType::DateTime, 0},    {"NMDIASEMANA", FieldType::String, 7},
                    {"CDSERVFILI", FieldType::String, 5},   {"NMSERVICO", FieldType::String, 40},
                    {"CDTURNO", FieldType::String, 1},      {"NMTURNO", FieldType::String, 10},
                    {"QTCOMENSAIS", FieldType::Integer, 0}, {"DSCARDAPIO", FieldType::String, 0},
                    {"CDPRODUTO", FieldType::String, 13},   {"NMPRODUTO", FieldType::String, 60},
                    {"SGUNIDADE", FieldType::String, 4},    {"QTMATPRIMA", FieldType::Float, 0},
                    {"QTCONSFIXO", FieldType::Float, 0},    {"QTCONSPERCAP", FieldType::Float, 0},
                    {"QTTOTAL", FieldType::Float, 0}};
        for (int d = 0; d < kDays; ++d)
            for (int s = 0; s < kShifts; ++s)
                for (int i = 0; i < kProducts; ++i) {
                    char code[16];
                    std::snprintf(code, sizeof code, "1.%02d.001.%04d", i / 20 + 1, i);
                    p.rows.push_back({"0001", "Metalúrgica Paulista", DateTime::fromDate(2026, 3, 1).addDays(d),
                                      "Domingo", "000" + std::to_string(s / 2 + 1), "Almoço", std::to_string(s % 2 + 1),
                                      "Turno", int64_t(120), Variant(), code, "Produto de cozinha " + std::to_string(i),
                                      "KG", 1.25 * i, 0.0, 0.5, 1.25 * i + 0.5});
                }
        return p;
    }();
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
    for (auto _ : state) {
        QBuffer out;
        out.open(QIODevice::WriteOnly);
        QPdfWriter writer(&out);
        writer.setPageLayout(page);
        writer.setResolution(600);
        QPainter painter(&writer);
        const double scale = writer.logicalDpiX() / 72.0, width = page.paintRect(QPageLayout::Point).width();
        QFont font;
        font.setPixelSize(8);
        const double x[] = {0, 14, 50, 55, 68, 81, 94, 107};
        int line = 0;
        for (const Row& row : rows.rows) {
            if (line == 64) {
                writer.newPage();
                line = 0;
            }
            painter.save();
            painter.scale(scale, scale);
            painter.setFont(font);
            const double y = 80 + line * 11;
            for (int c = 0; c < 7; ++c) {
                const QString text = c < 3 ? QString::fromStdString(row[size_t(10 + c)].asString())
                                           : brazil.toString(row[size_t(10 + c)].asDouble(), 'f', 3);
                painter.drawText(QRectF(x[c] / 107 * width + 2, y, (x[c + 1] - x[c]) / 107 * width - 4, 11),
                                 int((c < 3 ? Qt::AlignLeft : Qt::AlignRight) | Qt::AlignVCenter), text);
            }
            painter.restore();
            ++line;
        }
        painter.end();
        benchmark::DoNotOptimize(out.size());
    }
    state.counters["lines"] = double(rows.rows.size());
}

void BM_report_measured(benchmark::State& state) {
    const DataPacket& rows = monthRows();
    const QPageLayout page = DefaultPageLayout(definition());
    for (auto _ : state) {
        TParams params = reportParams();
        const ReportDocument document =
            LayoutReport(definition(), params, rows, page, {QDateTime::currentDateTime(), "BENCH"});
        QBuffer out;
        out.open(QIODevice::WriteOnly);
        QPdfWriter writer(&out);
        writer.setPageLayout(page);
        writer.setResolution(600);
        QPainter painter(&writer);
        PaintReport(document, writer, painter);
        painter.end();
        benchmark::DoNotOptimize(out.size());
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
