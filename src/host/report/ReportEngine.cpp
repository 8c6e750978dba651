#include "host/report/ReportEngine.h"

#include <QFontMetricsF>
#include <algorithm>
#include <cmath>
#include <map>

#include "host/models/Convert.h"
#include "host/report/ReportSummary.h"
#include "host/report/ReportText.h"

namespace krv::host {

using namespace report;

namespace {

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

// A point of slack: the printer's hinting may draw a text a little wider than measured.
QString elided(const QString& text, double width, const QFont& font) {
    return QFontMetricsF(font).elidedText(text, Qt::ElideRight, width - 1);
}

// A text that fits stays as it is, its spacing too; a wider one breaks between words.
QStringList wrapped(const QString& text, double width, const QFont& font = bodyFont()) {
    const QFontMetricsF metrics(font);
    width -= 1;
    if (metrics.horizontalAdvance(text) <= width) return {text};
    QStringList lines;
    QString current;
    for (QString word : text.split(' ', Qt::SkipEmptyParts)) {
        if (metrics.horizontalAdvance(word) > width) word = metrics.elidedText(word, Qt::ElideRight, width);
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

// Each column takes its share of the line but never less than its title needs, so no title
// is cut; the columns with room give up the difference in proportion to their shares.
std::vector<double> columnEdges(const std::vector<ReportColumn>& columns, double width) {
    const QFontMetricsF metrics(bodyFont(true));
    const size_t n = columns.size();
    std::vector<double> need(n), size(n);
    double needed = 0;
    for (size_t c = 0; c < n; ++c) {
        // A point of slack: the printer's hinting may draw a title a little wider than measured.
        need[c] = std::ceil(metrics.horizontalAdvance(columns[c].label)) + 2 * kPad + 1;
        needed += need[c];
    }
    std::vector<bool> atTitle(n, false);
    for (bool changed = needed <= width; changed;) {
        changed = false;
        double shares = 0, room = width;
        for (size_t c = 0; c < n; ++c) (atTitle[c] ? room -= need[c] : shares += columns[c].width);
        for (size_t c = 0; c < n; ++c) {
            size[c] = atTitle[c] ? need[c] : columns[c].width / shares * room;
            if (size[c] < need[c]) atTitle[c] = changed = true;
        }
    }
    if (needed > width)  // not every title fits the line: each keeps its part of what there is
        for (size_t c = 0; c < n; ++c) size[c] = need[c] / needed * width;
    std::vector<double> edges{0};
    for (double s : size) edges.push_back(edges.back() + s);
    return edges;
}

// The lines of a report as its rows are walked: group headers and menus where a block
// opens, one detail line per row, footers with their sums and blank lines where blocks close.
class LineStream {
public:
    LineStream(const ReportDefinition& d, TParams& params, const DataPacket& rows, const Filler& fill,
               const std::vector<double>& columnX)
        : d_(d), params_(params), fill_(fill), lineWidth_(columnX.back()), sums_(d.groups.size()), fit_(columnX) {
        for (const ReportColumn& c : d.columns) columnFields_.push_back(rows.fieldIndex(ToStd(c.field)));
        for (const ReportGroup& g : d.groups)
            perField_.push_back(g.footer && !g.footer->per.isEmpty() ? rows.fieldIndex(ToStd(g.footer->per)) : -1);
    }

    // Footers and blank lines of the blocks of group `from` and every group inside it.
    void close(size_t from) {
        for (size_t g = d_.groups.size(); g-- > from;) {
            const ReportGroup& group = d_.groups[g];
            if (group.footer)
                for (const auto& [per, perSums] : sums_[g]) out.push_back({total(g, per, perSums)});
            if (!group.blankLinesParam.isEmpty())
                if (const TParam* p = params_.FindParam(ToStd(group.blankLinesParam)))
                    for (int64_t n = std::clamp<int64_t>(p->Value().asInt(), 0, 999); n > 0; --n)
                        out.push_back({{ReportLine::Blank}});
        }
    }

    // Headers, and menus where the report prints them, of group `from` and every group inside it.
    void open(size_t from, const Row& row) {
        for (size_t g = from; g < d_.groups.size(); ++g) {
            const ReportGroup& group = d_.groups[g];
            const QStringList header = wrapped(fill_(group.header, &row), lineWidth_ - kIndent * g, bodyFont(true));
            for (qsizetype i = 0; i < header.size(); ++i)
                out.push_back(
                    {{i == 0 ? ReportLine::GroupHeader : ReportLine::HeaderMore, int(g), header[i], {}}, true});
            if (group.menu && group.menu->when.Holds(params_)) {
                const QString dishes = fill_.value(group.menu->field, &row);
                if (!dishes.isEmpty())
                    for (const QString& text :
                         wrapped(group.menu->title + ": " + dishes, lineWidth_ - kIndent * (g + 2)))
                        out.push_back({{ReportLine::Menu, int(g), text, {}}, true});
            }
            sums_[g].clear();
        }
    }

    // The row's detail line; its numbers count in every open block's sums.
    void detail(const Row& row) {
        ReportLine line{ReportLine::Detail, int(d_.groups.size()), {}, {}};
        for (size_t c = 0; c < d_.columns.size(); ++c) {
            const int f = columnFields_[c];
            const Variant& value = f >= 0 ? row[size_t(f)] : Variant();
            line.cells << fit_(c, formatted(value, d_.columns[c].decimals));
        }
        for (size_t g = 0; g < d_.groups.size(); ++g) {
            std::vector<double>& groupSums =
                sums_[g][perField_[g] >= 0 ? formatted(row[size_t(perField_[g])]) : QString()];
            groupSums.resize(d_.columns.size());
            for (size_t c = 0; c < d_.columns.size(); ++c)
                if (d_.columns[c].decimals >= 0 && columnFields_[c] >= 0)
                    groupSums[c] += row[size_t(columnFields_[c])].asDouble();
        }
        out.push_back({line});
    }

    std::vector<Item> out;

private:
    ReportLine total(size_t g, const QString& per, const std::vector<double>& perSums) const {
        const ReportGroup::Footer& footer = *d_.groups[g].footer;
        ReportLine line{ReportLine::Total, int(g), footer.label, {}};
        for (size_t c = 0; c < d_.columns.size(); ++c)
            line.cells << (footer.sum.contains(d_.columns[c].field)
                               ? number(perSums[c], std::max(0, d_.columns[c].decimals))
                           : d_.columns[c].field == footer.per ? per
                                                               : QString());
        return line;
    }

    const ReportDefinition& d_;
    TParams& params_;
    const Filler& fill_;
    double lineWidth_;
    std::vector<int> columnFields_;
    std::vector<int> perField_;  // per group, the field whose values split its footer's sums
    // Per group, the sums of its block under each value of the footer's "per" field.
    std::vector<std::map<QString, std::vector<double>>> sums_;
    CellFitter fit_;
};

// The stream of lines with its page breaks, before pagination.
std::vector<Item> lines(const ReportDefinition& d, TParams& params, const DataPacket& rows, const Filler& fill,
                        const std::vector<double>& columnX) {
    LineStream stream(d, params, rows, fill, columnX);
    const GroupKeys keys(d, rows);
    const bool breakPages = d.pageBreakWhen && d.pageBreakWhen->Holds(params);
    const Row* before = nullptr;
    for (const Row& row : rows.rows) {
        const int changed = keys.firstChange(before, row);
        if (changed >= 0) {
            if (before) stream.close(size_t(changed));
            if (before && breakPages && changed <= d.pageBreakGroup) stream.out.push_back({{}, false, true});
            stream.open(size_t(changed), row);
        }
        stream.detail(row);
        before = &row;
    }
    if (before) stream.close(0);
    return std::move(stream.out);
}

// The headers of the blocks a page's first line belongs to, marked as continued: a page
// never leaves the reader to guess the day, service or shift it is in.
// A header's first line stands for it, shortened to leave room for the mark.
void repeatHeaders(std::vector<ReportLine>& page, const QStringList& open, const ReportLine& first, double width) {
    const qsizetype inside = first.kind == ReportLine::GroupHeader ? first.level
                             : first.kind == ReportLine::Empty     ? 0
                                                                   : first.level + 1;
    const QFont bold = bodyFont(true);
    const QString mark = QString::fromUtf8(" (continuação)");
    const double markWidth = QFontMetricsF(bold).horizontalAdvance(mark);
    for (qsizetype level = 0; level < std::min(inside, open.size()); ++level)
        page.push_back({ReportLine::GroupHeader,
                        int(level),
                        elided(open[level], width - kIndent * double(level) - markWidth, bold) + mark,
                        {},
                        first.table});
}

std::vector<std::vector<ReportLine>> paginate(std::vector<Item> items, int perPage, double width) {
    std::vector<std::vector<ReportLine>> pages(1);
    perPage = std::max(perPage, 1);
    QStringList open;  // the header of each block the stream is in, outermost first
    for (size_t i = 0; i < items.size(); ++i) {
        if (items[i].pageBreak) {
            if (!pages.back().empty()) pages.emplace_back();
            continue;
        }
        ReportLine& line = items[i].line;
        if (line.kind == ReportLine::Blank && pages.back().empty()) continue;  // no page starts blank
        // A header keeps its menu and the first line of its block with it.
        int together = 1;
        for (size_t j = i; j < items.size() && items[j].keepWithNext; ++j) ++together;
        if (!pages.back().empty() && (int(pages.back().size()) + std::min(together, perPage) > perPage))
            pages.emplace_back();
        if (pages.back().empty()) repeatHeaders(pages.back(), open, line, width);
        if (line.kind == ReportLine::GroupHeader) {
            open.resize(line.level);
            open << line.text;
        }
        pages.back().push_back(std::move(line));
    }
    return pages;
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
    doc.tables.push_back({d.columns, columnEdges(d.columns, doc.pageSize.width())});
    if (d.summary) doc.tables.push_back({d.summary->columns, columnEdges(d.summary->columns, doc.pageSize.width())});

    const Row* first = rows.rows.empty() ? nullptr : &rows.rows.front();
    std::vector<std::pair<QString, QString>> extra{
        {"AGORA", context.printedAt.toString("dd/MM/yyyy hh:mm")}, {"OPERADOR", context.operador}, {"TITULO", d.title}};
    const Filler fill(rows, params, extra);
    doc.title = d.title;
    // The first header line shares its line with the printing time.
    const QFont plain = bodyFont();
    const double beside = QFontMetricsF(plain).horizontalAdvance(doc.printedAt) + 2 * kIndent;
    for (const QString& line : d.header)
        doc.header << elided(fill(line, first), doc.pageSize.width() - (doc.header.isEmpty() ? beside : 0), plain);
    // Page numbers are known only once the pages are; they stay as places until painted.
    extra.insert(extra.end(), {{"PAGINA", "{PAGINA}"}, {"PAGINAS", "{PAGINAS}"}});
    doc.footer = Filler(rows, params, extra)(d.footer, first);

    std::vector<Item> items = lines(d, params, rows, fill, doc.tables[0].edges);
    if (items.empty())
        items.push_back(
            {{ReportLine::Empty, 0, QString::fromUtf8("Nenhum registro encontrado para o filtro informado."), {}}});
    if (d.summary) {
        const std::vector<ReportLine> summary = SummaryLines(d, params, rows, doc.tables[1].edges, 1);
        if (!summary.empty()) items.push_back({{}, false, true});
        for (size_t i = 0; i < summary.size(); ++i) items.push_back({summary[i], i == 0});
    }
    const double body = doc.pageSize.height() - bodyTop(d.header.size()) - (d.footer.isEmpty() ? 0 : kFooter);
    doc.pages = paginate(std::move(items), int(body / kLine), doc.pageSize.width());
    return doc;
}

}  // namespace krv::host
