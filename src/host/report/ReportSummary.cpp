#include "host/report/ReportSummary.h"

#include <cmath>
#include <map>

#include "host/models/Convert.h"
#include "host/report/ReportText.h"

namespace krv::host::report {

namespace {

struct KeyTotals {
    const Row* first = nullptr;
    std::vector<double> sums;  // per column
};

// Whole packages that hold `quantity`: what is bought. A sum that lands a hair above a
// multiple through floating point does not buy one more.
QString packages(double quantity, const Variant& size, int decimals) {
    if (!size.isNumber() || size.asDouble() <= 0) return {};
    return number(std::ceil(quantity / size.asDouble() - 1e-9), decimals);
}

}  // namespace

std::vector<ReportLine> SummaryLines(const ReportDefinition& d, TParams& params, const DataPacket& rows,
                                     const std::vector<double>& edges, int table) {
    if (!d.summary || !d.summary->when.Holds(params) || rows.rows.empty()) return {};
    const ReportSummary& s = *d.summary;
    std::vector<int> fields;
    for (const ReportColumn& c : s.columns) fields.push_back(rows.fieldIndex(ToStd(c.field)));
    const int key = rows.fieldIndex(ToStd(s.key));
    std::map<QString, KeyTotals> totals;
    for (const Row& row : rows.rows) {
        KeyTotals& t = totals[key >= 0 ? formatted(row[size_t(key)]) : QString()];
        if (!t.first) t = {&row, std::vector<double>(s.columns.size(), 0)};
        for (size_t c = 0; c < s.columns.size(); ++c)
            if (s.columns[c].sum && fields[c] >= 0) t.sums[c] += row[size_t(fields[c])].asDouble();
    }

    std::vector<ReportLine> out{{ReportLine::GroupHeader, 0, s.title, {}, table}};
    CellFitter fit(edges);
    for (const auto& [_, t] : totals) {
        ReportLine line{ReportLine::Detail, 1, {}, {}, table};
        for (size_t c = 0; c < s.columns.size(); ++c) {
            const ReportColumn& column = s.columns[c];
            const Variant& value = fields[c] >= 0 ? (*t.first)[size_t(fields[c])] : Variant();
            QString text;
            if (column.sum) {
                text = number(t.sums[c], column.decimals);
            } else if (!column.packagesOf.isEmpty()) {
                for (size_t of = 0; of < s.columns.size(); ++of)
                    if (s.columns[of].sum && s.columns[of].field == column.packagesOf)
                        text = packages(t.sums[of], value, std::max(0, column.decimals));
            } else {
                text = formatted(value, column.decimals);
            }
            line.cells << fit(c, text);
        }
        out.push_back(std::move(line));
    }
    return out;
}

}  // namespace krv::host::report
