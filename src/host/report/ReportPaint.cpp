// Painting laid-out pages on a printer, the preview or a PDF file.
#include <QFile>
#include <QPainter>
#include <QPdfWriter>

#include "host/report/ReportEngine.h"
#include "host/report/ReportText.h"

namespace krv::host {

using namespace report;

namespace {

void drawCells(QPainter& painter, const ReportTable& table, const QStringList& cells, double y) {
    for (qsizetype c = 0; c < cells.size() && size_t(c) < table.columns.size(); ++c) {
        if (cells[c].isEmpty()) continue;
        const QRectF box(table.edges[size_t(c)] + kPad, y,
                         table.edges[size_t(c) + 1] - table.edges[size_t(c)] - 2 * kPad, kLine);
        painter.drawText(box, int(table.columns[size_t(c)].align | Qt::AlignVCenter), cells[c]);
    }
}

QString pageText(const QString& pattern, int page, int pages) {
    return QString(pattern).replace("{PAGINA}", QString::number(page)).replace("{PAGINAS}", QString::number(pages));
}

// Title and page count, the definition's lines and the printing time, then the column
// titles, which open every page.
void paintHeader(QPainter& painter, const ReportDocument& doc, const ReportTable& table, size_t index) {
    const double width = doc.pageSize.width();
    painter.setFont(bodyFont(true, kTitlePx));
    painter.drawText(QRectF(0, 0, width, kLine * 1.2), Qt::AlignHCenter | Qt::AlignVCenter, doc.title);
    painter.setFont(bodyFont());
    painter.drawText(QRectF(0, 0, width, kLine * 1.2), Qt::AlignRight | Qt::AlignVCenter,
                     QString::fromUtf8("Página %1 de %2").arg(index + 1).arg(doc.pages.size()));
    for (qsizetype i = 0; i < doc.header.size(); ++i)
        painter.drawText(QRectF(0, (i + 1.2) * kLine, width, kLine), Qt::AlignLeft | Qt::AlignVCenter, doc.header[i]);
    painter.drawText(QRectF(0, 1.2 * kLine, width, kLine), Qt::AlignRight | Qt::AlignVCenter, doc.printedAt);
    const double y = (headerLineCount(doc.header.size()) + 0.5) * kLine;
    painter.drawLine(QPointF(0, y - 0.3 * kLine), QPointF(width, y - 0.3 * kLine));
    painter.setFont(bodyFont(true));
    QStringList labels;
    for (const ReportColumn& c : table.columns) labels << c.label;
    drawCells(painter, table, labels, y);
    painter.drawLine(QPointF(0, y + kLine + 1), QPointF(width, y + kLine + 1));
}

void paintBody(QPainter& painter, const ReportDocument& doc, const ReportTable& table,
               const std::vector<ReportLine>& lines) {
    const double width = doc.pageSize.width();
    double y = bodyTop(doc.header.size());
    const QFont plain = bodyFont(), bold = bodyFont(true);
    const QFont* current = nullptr;
    const auto use = [&](const QFont& font) {
        if (current != &font) painter.setFont(font);
        current = &font;
    };
    const ReportLine* previous = nullptr;
    for (const ReportLine& line : lines) {
        switch (line.kind) {
            case ReportLine::GroupHeader:
            case ReportLine::HeaderMore:
            case ReportLine::Menu:
            case ReportLine::Empty: {
                const double x = line.level * kIndent + (line.kind == ReportLine::Menu ? kIndent : 0);
                use(line.kind == ReportLine::Menu || line.kind == ReportLine::Empty ? plain : bold);
                painter.drawText(QRectF(x, y, width - x, kLine), Qt::AlignLeft | Qt::AlignVCenter, line.text);
                break;
            }
            case ReportLine::Total:
                use(bold);
                // One rule over a block's totals, however many units they come in.
                if (!previous || previous->kind != ReportLine::Total || previous->level != line.level)
                    painter.drawLine(QPointF(0, y + 0.5), QPointF(width, y + 0.5));
                painter.drawText(QRectF(line.level * kIndent, y, width, kLine), Qt::AlignLeft | Qt::AlignVCenter,
                                 line.text);
                drawCells(painter, table, line.cells, y);
                break;
            case ReportLine::Detail:
            case ReportLine::ColumnHeader:
                use(plain);
                drawCells(painter, table, line.cells, y);
                break;
            case ReportLine::Blank:
                break;
        }
        previous = &line;
        y += kLine;
    }
}

void paintFooter(QPainter& painter, const ReportDocument& doc, size_t index) {
    if (doc.footer.isEmpty()) return;
    const double width = doc.pageSize.width();
    painter.setFont(bodyFont());
    const double bottom = doc.pageSize.height();
    painter.drawLine(QPointF(0, bottom - kFooter + 2), QPointF(width, bottom - kFooter + 2));
    painter.drawText(QRectF(0, bottom - kLine, width, kLine), Qt::AlignHCenter | Qt::AlignVCenter,
                     pageText(doc.footer, int(index) + 1, int(doc.pages.size())));
}

void paintPage(QPainter& painter, const ReportDocument& doc, size_t index) {
    const std::vector<ReportLine>& lines = doc.pages[index];
    const ReportTable& table = doc.tables[size_t(lines.empty() ? 0 : lines.front().table)];
    paintHeader(painter, doc, table, index);
    paintBody(painter, doc, table, lines);
    paintFooter(painter, doc, index);
}

}  // namespace

void PaintReport(const ReportDocument& document, QPagedPaintDevice& device, QPainter& painter, int first, int last) {
    const int pages = int(document.pages.size());
    first = first <= 0 ? 1 : std::min(first, pages);
    last = last <= 0 ? pages : std::min(last, pages);
    const double scale = device.logicalDpiX() / 72.0;
    for (int page = first; page <= last; ++page) {
        if (page > first) device.newPage();
        painter.save();
        painter.scale(scale, scale);
        paintPage(painter, document, size_t(page - 1));
        painter.restore();
    }
}

void WriteReportPdf(const ReportDocument& document, const QPageLayout& page, const QString& path) {
    {
        QPdfWriter writer(path);
        writer.setPageLayout(page);
        writer.setResolution(600);
        writer.setTitle(document.title);
        writer.setCreator("krv");
        QPainter painter;
        if (!painter.begin(&writer)) cannotWrite(path, QString::fromUtf8("o arquivo não pôde ser aberto"));
        PaintReport(document, writer, painter);
        if (!painter.end()) cannotWrite(path, QString::fromUtf8("falha ao concluir o arquivo"));
    }
    if (QFile(path).size() <= 0) cannotWrite(path, QString::fromUtf8("o arquivo ficou vazio"));
}

}  // namespace krv::host
