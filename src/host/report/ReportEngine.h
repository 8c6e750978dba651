#pragma once
#include <QDateTime>
#include <QPageLayout>
#include <QSizeF>
#include <QString>
#include <QStringList>
#include <vector>

#include "core/DataPacket.h"
#include "core/Params.h"
#include "host/report/ReportDefinition.h"

class QPagedPaintDevice;
class QPainter;

namespace krv::host {

// Who printed and when: the page header and footer show it.
struct ReportContext {
    QDateTime printedAt = QDateTime::currentDateTime();
    QString operador;
};

// One line of a page. A line is laid out whole on one page: pages break between lines.
struct ReportLine {
    // A group header too wide for the line goes on over HeaderMore lines.
    enum Kind { GroupHeader, HeaderMore, Menu, ColumnHeader, Detail, Total, Blank, Empty };
    Kind kind = Detail;
    int level = 0;      // of the group, for headers, menus and totals
    QString text;       // headers, menus, totals' label
    QStringList cells;  // one per column (details and totals)
    int table = 0;      // the document's table whose columns the line fills
};

// Columns and their edges: the left edge of each column and, last, the right edge of the line.
struct ReportTable {
    std::vector<ReportColumn> columns;
    std::vector<double> edges;
};

// A report laid out on pages of one size, ready to be painted any number of times.
struct ReportDocument {
    QString title;
    QStringList header;  // the page-header lines, filled in
    QString footer;      // still holding {PAGINA} and {PAGINAS}
    QString printedAt;
    std::vector<ReportTable> tables;  // the body's, then the closing summary's
    // A page shows the column titles of its first line's table: the summary starts a page.
    std::vector<std::vector<ReportLine>> pages;
    QSizeF pageSize;  // the printable area, in points
};

// Lays the rows out on pages whose printable area has the size of `page`'s paint rect. A page
// that continues a block opens with the headers of the blocks it continues; every column
// is at least as wide as its title. No text passes the right margin: a group header wraps
// between words, and page-header lines, repeated headers and words wider than the line are
// shortened with "…".
ReportDocument LayoutReport(const ReportDefinition& definition, TParams& params, const DataPacket& rows,
                            const QPageLayout& page, const ReportContext& context);

// Paints pages [first, last] (1-based; 0 for all) on a device that is already open in
// `painter`, starting a new device page between report pages.
void PaintReport(const ReportDocument& document, QPagedPaintDevice& device, QPainter& painter, int first = 0,
                 int last = 0);

// Writes the report as a PDF file. Throws std::runtime_error with a Portuguese text when
// the file cannot be written.
void WriteReportPdf(const ReportDocument& document, const QPageLayout& page, const QString& path);

// The rows as a CSV file for Brazilian spreadsheets: ";" between fields, decimal comma,
// UTF-8 with a byte-order mark, one line per detail row led by the values of its groups.
// Throws std::runtime_error when the file cannot be written.
QByteArray ReportCsv(const ReportDefinition& definition, TParams& params, const DataPacket& rows);
void WriteReportCsv(const ReportDefinition& definition, TParams& params, const DataPacket& rows, const QString& path);

// The page layout a definition starts from: A4 in its orientation, 1 cm margins.
QPageLayout DefaultPageLayout(const ReportDefinition& definition);

}  // namespace krv::host
