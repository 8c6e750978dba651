#include "support/ReportSamples.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>

#include "core/DateTime.h"

namespace krv::test {

DataPacket RequisitionReportRows(int blocks, int itemsPerBlock) {
    DataPacket packet;
    packet.fields = {{"CDFILIAL", FieldType::String, 4},     {"NMFILIAL", FieldType::String, 30},
                     {"DTREQUI", FieldType::DateTime, 0},    {"NMDIASEMANA", FieldType::String, 7},
                     {"CDSERVFILI", FieldType::String, 5},   {"NMSERVICO", FieldType::String, 40},
                     {"CDTURNO", FieldType::String, 1},      {"NMTURNO", FieldType::String, 10},
                     {"QTCOMENSAIS", FieldType::Integer, 0}, {"DSCARDAPIO", FieldType::String, 0},
                     {"CDPRODUTO", FieldType::String, 13},   {"NMPRODUTO", FieldType::String, 60},
                     {"SGUNIDADE", FieldType::String, 4},    {"QTMATPRIMA", FieldType::Float, 0},
                     {"QTCONSFIXO", FieldType::Float, 0},    {"QTCONSPERCAP", FieldType::Float, 0},
                     {"QTTOTAL", FieldType::Float, 0},       {"QTEMBALAGEM", FieldType::Float, 0}};
    static const char* const kWeekdays[] = {"Domingo", "Segunda", "Terça", "Quarta", "Quinta", "Sexta", "Sábado"};
    const DateTime first = DateTime::fromDate(2026, 3, 16);
    for (int b = 0; b < blocks; ++b) {
        const DateTime day = first.addDays(b / 4);
        const std::string service = b % 4 < 2 ? "00001" : "00002";
        const std::string shift = b % 2 == 0 ? "1" : "2";
        for (int i = 0; i < itemsPerBlock; ++i) {
            const double raw = i + 1, perCapita = 0.5;
            const std::string name = i == 0   ? "Açúcar cristal"
                                     : i == 1 ? "Sal refinado"
                                     : i == 2 ? "Flocos de milho"
                                              : "Produto " + std::to_string(i);
            char code[32];
            std::snprintf(code, sizeof code, "1.01.%03d.%04d", b % 1000, i);
            packet.rows.push_back({"0001", "Cozinha Central", day, kWeekdays[day.dayOfWeek()], service,
                                   service == "00001" ? "Desjejum" : "Almoço", shift, shift == "1" ? "Manhã" : "Tarde",
                                   int64_t(100 + b), b == 0 ? Variant("Arroz, Feijão") : Variant(), code, name, "kg",
                                   raw, 0.0, perCapita, raw + perCapita, i == 0 ? 50.0 : 2.0});
        }
    }
    return packet;
}

DataPacket OrderDocumentFields() {
    return {{{"NRPEDEXOL", FieldType::Integer, 0},
             {"CDFILIOPELOG", FieldType::String, 4},
             {"NMFILIOPELOG", FieldType::String, 30},
             {"CDFILIAL", FieldType::String, 4},
             {"NMFILIAL", FieldType::String, 30},
             {"CDSERVFILI", FieldType::String, 5},
             {"NMSERVICO", FieldType::String, 40},
             {"CDTURNO", FieldType::String, 1},
             {"NMTURNO", FieldType::String, 10},
             {"DTPEDIDO", FieldType::DateTime, 0},
             {"CDOPERADOR", FieldType::String, 30},
             {"DTLANCAMENTO", FieldType::String, 16},
             {"CDPRODUTO", FieldType::String, 20},
             {"NMPRODUTO", FieldType::String, 60},
             {"SGUNIDADE", FieldType::String, 4},
             {"QTNECESSARIA", FieldType::Float, 0},
             {"QTPEDIDO", FieldType::Float, 0},
             {"QTEMBALAGENS", FieldType::Integer, 0}},
            {}};
}

QString PdfText(const QString& path) {
    QProcess process;
    process.start("pdftotext", {"-layout", "-enc", "UTF-8", path, "-"});
    process.waitForFinished(30000);
    return QString::fromUtf8(process.readAllStandardOutput());
}

std::vector<PdfWord> PdfWords(const QString& path) {
    QProcess process;
    process.start("pdftotext", {"-bbox", "-enc", "UTF-8", path, "-"});
    process.waitForFinished(30000);
    const QString html = QString::fromUtf8(process.readAllStandardOutput());
    static const QRegularExpression tag(
        R"re(<page width="([0-9.]+)"|<word xMin="([0-9.]+)" yMin="[0-9.]+" xMax="([0-9.]+)" yMax="[0-9.]+">([^<]*)</word>)re");
    std::vector<PdfWord> words;
    int page = 0;
    double width = 0;
    for (auto it = tag.globalMatch(html); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        if (m.capturedLength(1) > 0) {
            ++page;
            width = m.captured(1).toDouble();
        } else {
            words.push_back({page, width, m.captured(2).toDouble(), m.captured(3).toDouble(), m.captured(4)});
        }
    }
    return words;
}

bool SavePdfPage(const QString& pdf, int page, const QString& png) {
    const QFileInfo target(png);
    QDir().mkpath(target.absolutePath());
    const QString base = target.absoluteDir().filePath(target.completeBaseName());
    QProcess process;
    process.start("pdftoppm", {"-png", "-r", "110", "-f", QString::number(page), "-l", QString::number(page),
                               "-singlefile", pdf, base});
    return process.waitForFinished(30000) && process.exitCode() == 0 && QFileInfo::exists(base + ".png");
}

}  // namespace krv::test
