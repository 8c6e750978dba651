#pragma once
// What the report engine's layout, painting, summary and CSV share: the measures of a page,
// its fonts, how values read on paper, and the filling of "{NAME}" places.
#include <QFont>
#include <QHash>
#include <QString>
#include <algorithm>
#include <optional>
#include <utility>
#include <vector>

#include "core/DataPacket.h"
#include "core/Params.h"

namespace krv::host::report {

// Everything is laid out in points; painting scales to the device.
constexpr double kLine = 11;   // height of one line
constexpr double kFontPx = 8;  // body text
constexpr double kTitlePx = 11;
constexpr double kIndent = 8;  // per group level
constexpr double kPad = 2;     // inside a column
constexpr double kFooter = 2 * kLine;

// Lines of the page header: the title's, then the definition's (at least one).
inline int headerLineCount(qsizetype lines) { return 1 + std::max(1, int(lines)); }
// Where the body starts, under the header and the column titles.
inline double bodyTop(qsizetype headerLines) { return (headerLineCount(headerLines) + 0.5) * kLine + kLine * 1.5; }

// Shaping is off: it turns "fi" and "fl" into ligature glyphs, which a PDF reader can neither
// find nor copy as the letters typed.
QFont bodyFont(bool bold = false, double px = kFontPx);

// Brazilian form, "1.234,500".
QString number(double value, int decimals);
// A value as the paper shows it: numbers of a numeric column with its decimals, the rest as text.
QString formatted(const Variant& value, int decimals = -1);

// Fills "{NAME}" places from the row, then from the query parameters, then from `extra`.
// A field of the rows with no row to take it from (an empty report) is left blank, with the
// " - " that led to it; a name known nowhere stays visible as "{NAME}", so a mistyped
// definition shows.
class Filler {
public:
    Filler(const DataPacket& rows, TParams& params, std::vector<std::pair<QString, QString>> extra = {})
        : rows_(rows), params_(params), extra_(std::move(extra)) {}

    QString operator()(const QString& pattern, const Row* row) const;
    QString value(const QString& name, const Row* row) const;

private:
    std::optional<QString> known(const QString& name, const Row* row) const;

    const DataPacket& rows_;
    TParams& params_;
    std::vector<std::pair<QString, QString>> extra_;
};

// Throws std::runtime_error with a Portuguese text naming the file.
[[noreturn]] void cannotWrite(const QString& path, const QString& why);

// Texts cut to their column's width. Measuring is costly and the same products come back in
// every block: each text is measured once per column.
class CellFitter {
public:
    explicit CellFitter(const std::vector<double>& edges);
    QString operator()(size_t column, const QString& text);

private:
    const std::vector<double>& edges_;
    double maxWidth_;
    std::vector<QHash<QString, QString>> fitted_;
};

}  // namespace krv::host::report
