#include "host/report/ReportText.h"

#include <QFontMetricsF>
#include <QLocale>
#include <QRegularExpression>
#include <stdexcept>

#include "host/models/Convert.h"

namespace krv::host::report {

QFont bodyFont(bool bold, double px) {
    QFont font;
    font.setPixelSize(int(px));
    font.setBold(bold);
    font.setStyleStrategy(QFont::PreferNoShaping);
    return font;
}

QString number(double value, int decimals) {
    static const QLocale brazil(QLocale::Portuguese, QLocale::Brazil);
    return brazil.toString(value, 'f', decimals);
}

QString formatted(const Variant& value, int decimals) {
    if (value.isNull()) return {};
    if (decimals >= 0 && value.isNumber()) return number(value.asDouble(), decimals);
    return ToQString(value);
}

QString Filler::operator()(const QString& pattern, const Row* row) const {
    QString out;
    out.reserve(pattern.size() + 16);
    bool blank = false;
    for (qsizetype at = 0; at < pattern.size();) {
        const qsizetype open = pattern.indexOf('{', at);
        const qsizetype close = open < 0 ? -1 : pattern.indexOf('}', open);
        if (close < 0) {
            out += pattern.mid(at);
            break;
        }
        out += pattern.mid(at, open - at);
        const QString filled = value(pattern.mid(open + 1, close - open - 1), row);
        blank = blank || filled.isEmpty();
        out += filled;
        at = close + 1;
    }
    if (blank) {
        static const QRegularExpression kDangling("\\s*-?\\s*$");
        out.remove(kDangling);
    }
    return out;
}

QString Filler::value(const QString& name, const Row* row) const {
    if (const auto found = known(name, row)) return *found;
    return "{" + name + "}";
}

std::optional<QString> Filler::known(const QString& name, const Row* row) const {
    const std::string key = ToStd(name);
    const int index = rows_.fieldIndex(key);
    if (row && index >= 0) return formatted((*row)[size_t(index)]);
    if (const TParam* p = params_.FindParam(key)) return formatted(p->Value());
    for (const auto& [extraName, extraValue] : extra_)
        if (extraName == name) return extraValue;
    if (index >= 0) return QString();
    return std::nullopt;
}

void cannotWrite(const QString& path, const QString& why) {
    throw std::runtime_error(ToStd(QString::fromUtf8("Não foi possível gravar o arquivo '%1': %2").arg(path, why)));
}

CellFitter::CellFitter(const std::vector<double>& edges)
    : edges_(edges), maxWidth_(QFontMetricsF(bodyFont()).maxWidth()), fitted_(edges.size()) {}

QString CellFitter::operator()(size_t column, const QString& text) {
    const double width = edges_[column + 1] - edges_[column] - 2 * kPad;
    if (text.size() * maxWidth_ <= width) return text;
    auto known = fitted_[column].constFind(text);
    if (known == fitted_[column].cend())
        known = fitted_[column].insert(text, QFontMetricsF(bodyFont()).elidedText(text, Qt::ElideRight, width));
    return *known;
}

}  // namespace krv::host::report
