// The report's rows as a CSV file: data for a spreadsheet, so every stored digit goes in.
#include <QSaveFile>
#include <stdexcept>

#include "core/CsvCell.h"
#include "host/models/Convert.h"
#include "host/report/ReportEngine.h"
#include "host/report/ReportText.h"

namespace krv::host {

using namespace report;

namespace {

std::string cell(const Variant& value, const ReportColumn& column) {
    if (column.decimals >= 0 && value.isNumber()) return csvNumberCell(value.asDouble());
    return csvTextCell(ToStd(formatted(value)));
}

}  // namespace

QByteArray ReportCsv(const ReportDefinition& d, TParams& params, const DataPacket& rows) {
    const Filler fill(rows, params);
    std::vector<int> columnFields;
    for (const ReportColumn& c : d.columns) columnFields.push_back(rows.fieldIndex(ToStd(c.field)));
    std::string out = "\xEF\xBB\xBF";
    const auto line = [&](const std::vector<std::string>& cells) {
        for (size_t i = 0; i < cells.size(); ++i) out += (i ? ";" : "") + cells[i];
        out += "\r\n";
    };
    std::vector<std::string> cells;
    for (const ReportGroup& g : d.groups)
        if (!g.label.isEmpty()) cells.push_back(csvTextCell(ToStd(g.label)));
    for (const ReportColumn& c : d.columns) cells.push_back(csvTextCell(ToStd(c.label)));
    line(cells);
    for (const Row& row : rows.rows) {
        cells.clear();
        for (const ReportGroup& g : d.groups)
            if (!g.label.isEmpty()) cells.push_back(csvTextCell(ToStd(fill(g.csv, &row))));
        for (size_t c = 0; c < d.columns.size(); ++c)
            cells.push_back(columnFields[c] < 0 ? std::string() : cell(row[size_t(columnFields[c])], d.columns[c]));
        line(cells);
    }
    return QByteArray::fromStdString(out);
}

void WriteReportCsv(const ReportDefinition& d, TParams& params, const DataPacket& rows, const QString& path) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) cannotWrite(path, file.errorString());
    file.write(ReportCsv(d, params, rows));
    if (!file.commit()) cannotWrite(path, file.errorString());
}

}  // namespace krv::host
