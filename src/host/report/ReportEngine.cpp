#include "host/report/ReportEngine.h"

#include <QFile>
#include <QFontMetricsF>
#include <QHash>
#include <QLocale>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>
#include <algorithm>
#include <stdexcept>

#include "host/models/Convert.h"

namespace krv::host {

namespace {

// Everything is laid out in points; painting scales to the device.
constexpr double kLine = 11;   // height of one line
constexpr double kFontPx = 8;  // body text
constexpr double kTitlePx = 11;
constexpr double kIndent = 8;  // per group level
constexpr double kPad = 2;     // inside a column
constexpr double kFooter = 2 * kLine;

QFont bodyFont(bool bold = false, double px = kFontPx) {
    QFont font;
    font.setPixelSize(int(px));
    font.setBold(bold);
    return font;
}

const QLocale& brazil() {
    static const QLocale locale(QLocale::Portuguese, QLocale::Brazil);
    return locale;
}

QString number(double value, int decimals, bool grouped) {
    if (grouped) return brazil().toString(value, 'f', decimals);
    QLocale plain = brazil();
    plain.setNumberOptions(QLocale::OmitGroupSeparator);
    return plain.toString(value, 'f', decimals);
}

QString formatted(const Variant& value, int decimals = -1, bool grouped = true) {
    if (value.isNull()) return {};
    if (decimals >= 0 && value.isNumber()) return number(value.asDouble(), decimals, grouped);
    return ToQString(value);
}

// Fills "{NAME}" places from the row, then from the query parameters, then from `extra`.
class Filler {
public:
    Filler(const DataPacket& rows, TParams& params, std::vector<std::pair<QString, QString>> extra = {})
        : rows_(rows), params_(params), extra_(std::move(extra)) {}

    QString operator()(const QString& pattern, const Row* row) const {
        QString out;
        out.reserve(pattern.size() + 16);
        for (qsizetype at = 0; at < pattern.size();) {
            const qsizetype open = pattern.indexOf('{', at);
            const qsizetype close = open < 0 ? -1 : pattern.indexOf('}', open);
            if (close < 0) {
                out += pattern.mid(at);
                break;
            }
            out += pattern.mid(at, open - at);
            out += value(pattern.mid(open + 1, close - open - 1), row);
            at = close + 1;
        }
        return out;
    }

    QString value(const QString& name, const Row* row) const {
        const std::string key = ToStd(name);
        if (row) {
            const int index = rows_.fieldIndex(key);
            if (index >= 0) return formatted((*row)[size_t(index)]);
        }
        if (const TParam* p = params_.FindParam(key)) return formatted(p->Value());
        for (const auto& [extraName, extraValue] : extra_)
            if (extraName == name) return extraValue;
        return "{" + name + "}";  // a place nobody fills stays visible, not silently blank
    }

private:
    const DataPacket& rows_;
    TParams& params_;
    std::vector<std::pair<QString, QString>> extra_;
};

std::vector<int> fieldIndexes(const DataPacket& rows, const std::vector<ReportColumn>& columns) {
    std::vector<int> out;
    for (const ReportColumn& c : columns) out.push_back(rows.fieldIndex(ToStd(c.field)));
    return out;
}

// Each group's key in a row, to notice where blocks start.
class GroupKeys {
public:
    GroupKeys(const ReportDefinition& d, const DataPacket& rows) {
        for (const ReportGroup& g : d.groups) {
            std::vector<int> fields;
            for (const QString& f : g.fields) fields.push_back(rows.fieldIndex(ToStd(f)));
            fields_.push_back(fields);
        }
    }
    // The outermost group whose key differs between the rows; -1 when none does.
    int firstChange(const Row* before, const Row& row) const {
        for (size_t g = 0; g < fields_.size(); ++g) {
            if (!before) return int(g);
            for (int f : fields_[g])
                if (f >= 0 && !((*before)[size_t(f)] == row[size_t(f)])) return int(g);
        }
        return -1;
    }

private:
    std::vector<std::vector<int>> fields_;
};

struct Item {
    ReportLine line;
    bool keepWithNext = false;
    bool pageBreak = false;
};

QStringList wrapped(const QString& text, double width) {
    const QFontMetricsF metrics(bodyFont());
    QStringList lines;
    QString current;
    for (const QString& word : text.split(' ', Qt::SkipEmptyParts)) {
        const QString candidate = current.isEmpty() ? word : current + ' ' + word;
        if (!current.isEmpty() && metrics.horizontalAdvance(candidate) > width) {
            lines << current;
            current = word;
        } else {
            current = candidate;
        }
    }
    if (!current.isEmpty()) lines << current;
    return lines;
}

// The stream of lines with its page breaks, before pagination.
std::vector<Item> lines(const ReportDefinition& d, TParams& params, const DataPacket& rows, const Filler& fill,
                        const std::vector<double>& columnX) {
    std::vector<Item> out;
    const std::vector<int> columnFields = fieldIndexes(rows, d.columns);
    const GroupKeys keys(d, rows);
    const bool breakPages = d.pageBreakWhen && d.pageBreakWhen->Holds(params);
    const double lineWidth = columnX.back();
    const QFontMetricsF metrics(bodyFont());
    std::vector<std::vector<double>> sums(d.groups.size(), std::vector<double>(d.columns.size(), 0));
    // Measuring is costly and the same products come back in every block: each text is
    // measured once per column.
    std::vector<QHash<QString, QString>> fitted(d.columns.size());

    const auto close = [&](size_t from) {
        for (size_t g = d.groups.size(); g-- > from;) {
            const ReportGroup& group = d.groups[g];
            if (group.footer) {
                ReportLine total{ReportLine::Total, int(g), group.footer->label, {}};
                for (size_t c = 0; c < d.columns.size(); ++c)
                    total.cells << (group.footer->sum.contains(d.columns[c].field)
                                        ? number(sums[g][c], std::max(0, d.columns[c].decimals), true)
                                        : QString());
                out.push_back({total});
            }
            if (!group.blankLinesParam.isEmpty())
                if (const TParam* p = params.FindParam(ToStd(group.blankLinesParam)))
                    for (int64_t n = std::clamp<int64_t>(p->Value().asInt(), 0, 999); n > 0; --n)
                        out.push_back({{ReportLine::Blank}});
        }
    };

    const Row* before = nullptr;
    for (const Row& row : rows.rows) {
        const int changed = keys.firstChange(before, row);
        if (changed >= 0) {
            if (before) close(size_t(changed));
            if (before && breakPages && changed <= d.pageBreakGroup) out.push_back({{}, false, true});
            for (size_t g = size_t(changed); g < d.groups.size(); ++g) {
                const ReportGroup& group = d.groups[g];
                out.push_back({{ReportLine::GroupHeader, int(g), fill(group.header, &row), {}}, true});
                if (group.menu && group.menu->when.Holds(params)) {
                    const QString dishes = fill.value(group.menu->field, &row);
                    if (!dishes.isEmpty())
                        for (const QString& text :
                             wrapped(group.menu->title + ": " + dishes, lineWidth - kIndent * (g + 2)))
                            out.push_back({{ReportLine::Menu, int(g), text, {}}, true});
                }
                std::fill(sums[g].begin(), sums[g].end(), 0);
            }
        }
        ReportLine detail{ReportLine::Detail, int(d.groups.size()), {}, {}};
        for (size_t c = 0; c < d.columns.size(); ++c) {
            const int f = columnFields[c];
            const Variant& value = f >= 0 ? row[size_t(f)] : Variant();
            QString text = formatted(value, d.columns[c].decimals);
            const double width = columnX[c + 1] - columnX[c] - 2 * kPad;
            if (text.size() * metrics.maxWidth() > width) {
                auto known = fitted[c].constFind(text);
                if (known == fitted[c].cend())
                    known = fitted[c].insert(text, metrics.elidedText(text, Qt::ElideRight, width));
                text = *known;
            }
            detail.cells << text;
            if (d.columns[c].decimals >= 0)
                for (auto& groupSums : sums) groupSums[c] += value.asDouble();
        }
        out.push_back({detail});
        before = &row;
    }
    if (before) close(0);
    return out;
}

std::vector<std::vector<ReportLine>> paginate(std::vector<Item> items, int perPage) {
    std::vector<std::vector<ReportLine>> pages(1);
    perPage = std::max(perPage, 1);
    for (size_t i = 0; i < items.size(); ++i) {
        std::vector<ReportLine>* page = &pages.back();
        const auto newPage = [&] {
            pages.emplace_back();
            page = &pages.back();
        };
        if (items[i].pageBreak) {
            if (!page->empty()) newPage();
            continue;
        }
        if (items[i].line.kind == ReportLine::Blank && page->empty()) continue;  // no page starts blank
        // A header keeps its menu and the first line of its block with it.
        int together = 1;
        for (size_t j = i; j < items.size() && items[j].keepWithNext; ++j) ++together;
        if (!page->empty() && (int(page->size()) + std::min(together, perPage) > perPage)) newPage();
        page->push_back(std::move(items[i].line));
    }
    return pages;
}

int headerLineCount(const ReportDocument& doc) { return 1 + std::max<int>(1, int(doc.header.size())); }

double bodyTop(const ReportDocument& doc) { return (headerLineCount(doc) + 0.5) * kLine + kLine * 1.5; }

void drawCells(QPainter& painter, const ReportDocument& doc, const QStringList& cells, double y) {
    for (qsizetype c = 0; c < cells.size() && size_t(c) < doc.columns.size(); ++c) {
        if (cells[c].isEmpty()) continue;
        const QRectF box(doc.columnX[size_t(c)] + kPad, y,
                         doc.columnX[size_t(c) + 1] - doc.columnX[size_t(c)] - 2 * kPad, kLine);
        painter.drawText(box, int(doc.columns[size_t(c)].align | Qt::AlignVCenter), cells[c]);
    }
}

QString pageText(const QString& pattern, int page, int pages) {
    return QString(pattern).replace("{PAGINA}", QString::number(page)).replace("{PAGINAS}", QString::number(pages));
}

void paintPage(QPainter& painter, const ReportDocument& doc, size_t index) {
    const double width = doc.pageSize.width();
    const int pages = int(doc.pages.size());
    // Page header: title and page count, the definition's lines and the printing time.
    painter.setFont(bodyFont(true, kTitlePx));
    painter.drawText(QRectF(0, 0, width, kLine * 1.2), Qt::AlignHCenter | Qt::AlignVCenter, doc.title);
    painter.setFont(bodyFont());
    painter.drawText(QRectF(0, 0, width, kLine * 1.2), Qt::AlignRight | Qt::AlignVCenter,
                     QString::fromUtf8("Página %1 de %2").arg(index + 1).arg(pages));
    for (qsizetype i = 0; i < doc.header.size(); ++i)
        painter.drawText(QRectF(0, (i + 1.2) * kLine, width, kLine), Qt::AlignLeft | Qt::AlignVCenter, doc.header[i]);
    painter.drawText(QRectF(0, 1.2 * kLine, width, kLine), Qt::AlignRight | Qt::AlignVCenter, doc.printedAt);
    double y = (headerLineCount(doc) + 0.5) * kLine;
    painter.drawLine(QPointF(0, y - 0.3 * kLine), QPointF(width, y - 0.3 * kLine));
    // The column titles open every page.
    painter.setFont(bodyFont(true));
    QStringList labels;
    for (const ReportColumn& c : doc.columns) labels << c.label;
    drawCells(painter, doc, labels, y);
    painter.drawLine(QPointF(0, y + kLine + 1), QPointF(width, y + kLine + 1));

    y = bodyTop(doc);
    const QFont plain = bodyFont(), bold = bodyFont(true);
    const QFont* current = nullptr;
    const auto use = [&](const QFont& font) {
        if (current != &font) painter.setFont(font);
        current = &font;
    };
    for (const ReportLine& line : doc.pages[index]) {
        switch (line.kind) {
            case ReportLine::GroupHeader:
            case ReportLine::Menu:
            case ReportLine::Empty: {
                const double x = line.level * kIndent + (line.kind == ReportLine::Menu ? kIndent : 0);
                use(line.kind == ReportLine::GroupHeader ? bold : plain);
                painter.drawText(QRectF(x, y, width - x, kLine), Qt::AlignLeft | Qt::AlignVCenter, line.text);
                break;
            }
            case ReportLine::Total:
                use(bold);
                painter.drawLine(QPointF(0, y + 0.5), QPointF(width, y + 0.5));
                painter.drawText(QRectF(line.level * kIndent, y, width, kLine), Qt::AlignLeft | Qt::AlignVCenter,
                                 line.text);
                drawCells(painter, doc, line.cells, y);
                break;
            case ReportLine::Detail:
            case ReportLine::ColumnHeader:
                use(plain);
                drawCells(painter, doc, line.cells, y);
                break;
            case ReportLine::Blank:
                break;
        }
        y += kLine;
    }
    if (!doc.footer.isEmpty()) {
        painter.setFont(plain);
        const double bottom = doc.pageSize.height();
        painter.drawLine(QPointF(0, bottom - kFooter + 2), QPointF(width, bottom - kFooter + 2));
        painter.drawText(QRectF(0, bottom - kLine, width, kLine), Qt::AlignHCenter | Qt::AlignVCenter,
                         pageText(doc.footer, int(index) + 1, pages));
    }
}

[[noreturn]] void cannotWrite(const QString& path, const QString& why) {
    throw std::runtime_error(ToStd(QString::fromUtf8("Não foi possível gravar o arquivo '%1': %2").arg(path, why)));
}

QString csvField(const QString& text) {
    if (!text.contains(';') && !text.contains('"') && !text.contains('\n') && !text.contains('\r')) return text;
    return '"' + QString(text).replace("\"", "\"\"") + '"';
}

}  // namespace

QPageLayout DefaultPageLayout(const ReportDefinition& definition) {
    return QPageLayout(QPageSize(QPageSize::A4), definition.landscape ? QPageLayout::Landscape : QPageLayout::Portrait,
                       QMarginsF(28, 28, 28, 28), QPageLayout::Point);
}

ReportDocument LayoutReport(const ReportDefinition& d, TParams& params, const DataPacket& rows, const QPageLayout& page,
                            const ReportContext& context) {
    ReportDocument doc;
    doc.pageSize = page.paintRect(QPageLayout::Point).size();
    doc.printedAt = QString::fromUtf8("Emitido em ") + context.printedAt.toString("dd/MM/yyyy hh:mm");
    doc.columns = d.columns;
    double total = 0;
    for (const ReportColumn& c : d.columns) total += c.width;
    doc.columnX.push_back(0);
    for (const ReportColumn& c : d.columns)
        doc.columnX.push_back(doc.columnX.back() + c.width / total * doc.pageSize.width());

    const Row* first = rows.rows.empty() ? nullptr : &rows.rows.front();
    const Filler fill(rows, params,
                      {{"AGORA", context.printedAt.toString("dd/MM/yyyy hh:mm")},
                       {"OPERADOR", context.operador},
                       {"TITULO", d.title}});
    doc.title = d.title;
    for (const QString& line : d.header) doc.header << fill(line, first);
    // Page numbers are known only once the pages are; they stay as places until painted.
    doc.footer = Filler(rows, params,
                        {{"AGORA", context.printedAt.toString("dd/MM/yyyy hh:mm")},
                         {"OPERADOR", context.operador},
                         {"TITULO", d.title},
                         {"PAGINA", "{PAGINA}"},
                         {"PAGINAS", "{PAGINAS}"}})(d.footer, first);

    std::vector<Item> items = lines(d, params, rows, fill, doc.columnX);
    if (items.empty())
        items.push_back(
            {{ReportLine::Empty, 0, QString::fromUtf8("Nenhum registro encontrado para o filtro informado."), {}}});
    const double body = doc.pageSize.height() - bodyTop(doc) - (d.footer.isEmpty() ? 0 : kFooter);
    doc.pages = paginate(std::move(items), int(body / kLine));
    return doc;
}

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

QByteArray ReportCsv(const ReportDefinition& d, TParams& params, const DataPacket& rows) {
    const Filler fill(rows, params);
    const std::vector<int> columnFields = fieldIndexes(rows, d.columns);
    QStringList header;
    for (const ReportGroup& g : d.groups)
        if (!g.label.isEmpty()) header << csvField(g.label);
    for (const ReportColumn& c : d.columns) header << csvField(c.label);
    QString out = header.join(';') + "\r\n";
    for (const Row& row : rows.rows) {
        QStringList fields;
        for (const ReportGroup& g : d.groups)
            if (!g.label.isEmpty()) fields << csvField(fill(g.csv, &row));
        for (size_t c = 0; c < d.columns.size(); ++c)
            fields << csvField(columnFields[c] < 0
                                   ? QString()
                                   : formatted(row[size_t(columnFields[c])], d.columns[c].decimals, false));
        out += fields.join(';') + "\r\n";
    }
    return QByteArray("\xEF\xBB\xBF") + out.toUtf8();
}

void WriteReportCsv(const ReportDefinition& d, TParams& params, const DataPacket& rows, const QString& path) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) cannotWrite(path, file.errorString());
    file.write(ReportCsv(d, params, rows));
    if (!file.commit()) cannotWrite(path, file.errorString());
}

}  // namespace krv::host
