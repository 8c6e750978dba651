#include "host/report/ReportDefinition.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSaveFile>

#include "host/models/Convert.h"

namespace krv::host {

namespace {

// Reads one definition, naming the place of each fault ("columns[2].width").
class Reader {
public:
    explicit Reader(QString path) : path_(std::move(path)) {}

    [[noreturn]] void fail(const QString& what) const {
        throw EReportDefinition(ToStd("Definição de relatório inválida em '" + path_ + "': " + what));
    }

    QString text(const QJsonObject& o, const QString& key, const QString& where, bool required) const {
        const QJsonValue v = o.value(key);
        if (v.isUndefined() && !required) return {};
        if (!v.isString()) fail(where + key + " deve ser um texto");
        return v.toString();
    }
    QStringList texts(const QJsonObject& o, const QString& key, const QString& where, bool required) const {
        const QJsonValue v = o.value(key);
        if (v.isUndefined() && !required) return {};
        if (!v.isArray()) fail(where + key + " deve ser uma lista de textos");
        QStringList out;
        for (const QJsonValue& item : v.toArray()) {
            if (!item.isString() || item.toString().isEmpty()) fail(where + key + " deve ser uma lista de textos");
            out << item.toString();
        }
        if (required && out.isEmpty()) fail(where + key + " não pode ser vazia");
        return out;
    }
    QJsonObject object(const QJsonValue& v, const QString& where) const {
        if (!v.isObject()) fail(where + " deve ser um objeto");
        return v.toObject();
    }
    std::optional<QJsonObject> optionalObject(const QJsonObject& o, const QString& key, const QString& where) const {
        if (!o.contains(key)) return std::nullopt;
        return object(o.value(key), where + key);
    }
    QJsonArray array(const QJsonObject& o, const QString& key, bool required) const {
        const QJsonValue v = o.value(key);
        if (v.isUndefined() && !required) return {};
        if (!v.isArray() || (required && v.toArray().isEmpty())) fail(key + " deve ser uma lista não vazia");
        return v.toArray();
    }
    ReportCondition condition(const QJsonObject& o, const QString& where, const QStringList& params) const {
        const QJsonObject when = object(o.value("when"), where + "when");
        ReportCondition c{text(when, "param", where + "when.", true), text(when, "equals", where + "when.", true)};
        if (!params.contains(c.param, Qt::CaseInsensitive))
            fail(where + "when.param: parâmetro " + c.param + " não listado em params");
        return c;
    }

private:
    QString path_;
};

ReportColumn readColumn(const Reader& r, const QJsonObject& o, const QString& where) {
    ReportColumn c;
    c.field = r.text(o, "field", where, true);
    c.label = r.text(o, "label", where, true);
    const QJsonValue width = o.value("width");
    if (!width.isDouble() || width.toDouble() <= 0) r.fail(where + "width deve ser um número maior que zero");
    c.width = width.toDouble();
    const QString align = r.text(o, "align", where, false);
    if (align == "right")
        c.align = Qt::AlignRight;
    else if (align == "center")
        c.align = Qt::AlignHCenter;
    else if (!align.isEmpty() && align != "left")
        r.fail(where + "align deve ser \"left\", \"right\" ou \"center\"");
    const QString format = r.text(o, "format", where, false);
    if (!format.isEmpty()) {
        static const QRegularExpression kFormat("^0(\\.0+)?$");
        if (!kFormat.match(format).hasMatch()) r.fail(where + "format deve ser \"0\" ou \"0.00…\"");
        c.decimals = format.size() > 1 ? int(format.size()) - 2 : 0;
    }
    return c;
}

std::vector<ReportColumn> readColumns(const Reader& r, const QJsonObject& o, const QString& where) {
    std::vector<ReportColumn> out;
    const QJsonArray columns = r.array(o, "columns", true);
    for (qsizetype i = 0; i < columns.size(); ++i) {
        const QString at = where + "columns[" + QString::number(i) + "].";
        out.push_back(readColumn(r, r.object(columns[i], at.chopped(1)), at));
    }
    return out;
}

bool hasColumn(const std::vector<ReportColumn>& columns, const QString& field) {
    return std::any_of(columns.begin(), columns.end(), [&](const ReportColumn& c) { return c.field == field; });
}

ReportSummary readSummary(const Reader& r, const QJsonObject& o, const ReportDefinition& d) {
    const QString where = "summary.";
    ReportSummary s{r.condition(o, where, d.params), r.text(o, "title", where, true), r.text(o, "key", where, true),
                    readColumns(r, o, where)};
    const QJsonArray columns = o.value("columns").toArray();
    for (size_t i = 0; i < s.columns.size(); ++i) {
        const QJsonObject column = columns[qsizetype(i)].toObject();
        const QString at = where + "columns[" + QString::number(i) + "].";
        if (column.contains("sum") && !column.value("sum").isBool()) r.fail(at + "sum deve ser true ou false");
        s.columns[i].sum = column.value("sum").toBool();
        s.columns[i].packagesOf = r.text(column, "packagesOf", at, false);
        if (s.columns[i].sum && s.columns[i].decimals < 0) r.fail(at + "sum exige format numérico");
    }
    for (size_t i = 0; i < s.columns.size(); ++i) {
        const QString& of = s.columns[i].packagesOf;
        if (!of.isEmpty() && std::none_of(s.columns.begin(), s.columns.end(), [&](const ReportColumn& c) {
                return c.sum && c.field == of;
            }))
            r.fail(where + "columns[" + QString::number(i) + "].packagesOf: " + of + " não é uma coluna somada");
    }
    return s;
}

ReportGroup readGroup(const Reader& r, const QJsonObject& o, const QString& where, const ReportDefinition& d) {
    ReportGroup g;
    g.name = r.text(o, "name", where, true);
    g.label = r.text(o, "label", where, false);
    g.fields = r.texts(o, "fields", where, true);
    g.header = r.text(o, "header", where, true);
    g.csv = r.text(o, "csv", where, false);
    if (g.csv.isEmpty()) g.csv = g.header;
    if (const auto menu = r.optionalObject(o, "menu", where))
        g.menu = ReportGroup::Menu{r.condition(*menu, where + "menu.", d.params),
                                   r.text(*menu, "title", where + "menu.", true),
                                   r.text(*menu, "field", where + "menu.", true)};
    if (const auto footer = r.optionalObject(o, "footer", where)) {
        ReportGroup::Footer f{r.text(*footer, "label", where + "footer.", true),
                              r.texts(*footer, "sum", where + "footer.", false),
                              r.text(*footer, "per", where + "footer.", false)};
        for (const QString& field : f.sum)
            if (!hasColumn(d.columns, field)) r.fail(where + "footer.sum: " + field + " não é o campo de uma coluna");
        g.footer = f;
    }
    if (const auto blank = r.optionalObject(o, "blankLinesAfter", where)) {
        g.blankLinesParam = r.text(*blank, "param", where + "blankLinesAfter.", true);
        if (!d.params.contains(g.blankLinesParam, Qt::CaseInsensitive))
            r.fail(where + "blankLinesAfter.param: parâmetro " + g.blankLinesParam + " não listado em params");
    }
    return g;
}

QJsonObject readObject(const QString& path, const Reader& r) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) r.fail(file.errorString());
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &error);
    if (error.error != QJsonParseError::NoError)
        r.fail(error.errorString() + " (posição " + QString::number(error.offset) + ")");
    if (!document.isObject()) r.fail("o conteúdo não é um objeto");
    return document.object();
}

}  // namespace

bool ReportCondition::Holds(TParams& params) const {
    const TParam* p = params.FindParam(ToStd(param));
    return p && ToQString(p->Value()) == equals;
}

ReportDefinition ReportDefinition::Load(const QString& path) {
    const Reader r(path);
    const QJsonObject o = readObject(path, r);
    ReportDefinition d;
    d.path = path;
    d.code = r.text(o, "code", "", false);
    d.title = r.text(o, "title", "", true);
    const QString orientation = r.text(o, "orientation", "", false);
    if (!orientation.isEmpty() && orientation != "portrait" && orientation != "landscape")
        r.fail("orientation deve ser \"portrait\" ou \"landscape\"");
    d.landscape = orientation == "landscape";
    d.params = r.texts(o, "params", "", false);
    d.header = r.texts(o, "header", "", false);
    d.columns = readColumns(r, o, "");
    const QJsonArray groups = r.array(o, "groups", false);
    for (qsizetype i = 0; i < groups.size(); ++i) {
        const QString where = "groups[" + QString::number(i) + "].";
        d.groups.push_back(readGroup(r, r.object(groups[i], where.chopped(1)), where, d));
    }
    if (const auto pageBreak = r.optionalObject(o, "pageBreak", "")) {
        d.pageBreakWhen = r.condition(*pageBreak, "pageBreak.", d.params);
        const QString group = r.text(*pageBreak, "beforeGroup", "pageBreak.", true);
        for (size_t i = 0; i < d.groups.size(); ++i)
            if (d.groups[i].name == group) d.pageBreakGroup = int(i);
        if (d.pageBreakGroup < 0) r.fail("pageBreak.beforeGroup: grupo " + group + " não existe");
    }
    d.footer = r.text(o, "footer", "", false);
    if (const auto summary = r.optionalObject(o, "summary", "")) d.summary = readSummary(r, *summary, d);
    return d;
}

void ReportDefinition::SaveTitle(const QString& path, const QString& title) {
    const Reader r(path);
    QJsonObject o = readObject(path, r);
    o.insert("title", title);
    QSaveFile file(path);  // all or nothing: a failed write leaves the old definition
    if (!file.open(QIODevice::WriteOnly) || file.write(QJsonDocument(o).toJson(QJsonDocument::Indented)) < 0 ||
        !file.commit())
        throw EReportDefinition(
            ToStd("Não foi possível gravar a definição de relatório '" + path + "': " + file.errorString()));
}

}  // namespace krv::host
