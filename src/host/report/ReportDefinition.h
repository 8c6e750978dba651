#pragma once
#include <QtCore/qnamespace.h>
#include <QString>
#include <QStringList>
#include <optional>
#include <stdexcept>
#include <vector>

#include "core/Params.h"

namespace krv::host {

// A definition that cannot be used; the text names the file and what is wrong with it.
struct EReportDefinition : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// "when": {"param": "P_X", "equals": "S"}: holds when the query parameter has that value.
struct ReportCondition {
    QString param;
    QString equals;
    bool Holds(TParams& params) const;
};

struct ReportColumn {
    QString field;
    QString label;
    double width = 1;  // share of the line's width
    Qt::Alignment align = Qt::AlignLeft;
    int decimals = -1;  // from "format": "0.000"; -1 for text
    // Closing summary only: "sum" adds the column up over the rows of a key; "packagesOf"
    // gives how many packages (the size being this column's field) hold the sum of that field.
    bool sum = false;
    QString packagesOf;
};

// A level of grouping: a block starts whenever one of its fields changes (or an outer
// block starts), with a header line, optionally a menu, and ends with a totals line and
// blank lines.
struct ReportGroup {
    QString name;
    QString label;  // the column title of the group in a CSV file
    QStringList fields;
    QString header;  // "{FIELD}" places are filled from the block's first row
    QString csv;     // the group's value in each CSV row; the header when absent
    struct Menu {
        ReportCondition when;
        QString title;
        QString field;
    };
    std::optional<Menu> menu;
    struct Footer {
        QString label;
        QStringList sum;  // fields of columns
        // One totals line per value of this field (the unit): kilos and units never add up.
        QString per;
    };
    std::optional<Footer> footer;
    QString blankLinesParam;  // integer parameter: blank lines after each block
};

// The closing summary: one line per value of `key` over the whole report, on pages of its own
// with its own columns.
struct ReportSummary {
    ReportCondition when;
    QString title;
    QString key;
    std::vector<ReportColumn> columns;
};

// A report definition under reports/<code>.json: what the query takes, what a page shows
// and how the rows are grouped. Read whole and checked on load, so a fault is reported
// before anything is asked of the server.
struct ReportDefinition {
    QString path;
    QString code;
    QString title;
    bool landscape = false;
    QStringList params;
    QStringList header;  // page-header lines under the title
    std::vector<ReportColumn> columns;
    std::vector<ReportGroup> groups;
    std::optional<ReportCondition> pageBreakWhen;
    int pageBreakGroup = -1;  // index into groups
    QString footer;
    std::optional<ReportSummary> summary;

    // Throws EReportDefinition for a file that cannot be read or is no valid definition.
    static ReportDefinition Load(const QString& path);
    // Writes a new title into the file, keeping everything else as it is. Throws
    // EReportDefinition when the file cannot be written.
    static void SaveTitle(const QString& path, const QString& title);
};

}  // namespace krv::host
