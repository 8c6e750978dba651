#include "host/screens/ReportDesigner.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <stdexcept>

#include "host/models/Convert.h"

namespace krv::host {

namespace {

QString& configuredReportsDir() {
    static QString dir;
    return dir;
}

std::runtime_error badDefinition(const QString& path, const QString& why) {
    return std::runtime_error(ToStd("Definição de relatório inválida em '" + path + "': " + why));
}

}  // namespace

TReportDesigner::TReportDesigner(QObject* parent) : QObject(parent) {}

void TReportDesigner::SetReportsDir(const QString& dir) { configuredReportsDir() = dir; }

QString TReportDesigner::ReportsDir() {
    if (!configuredReportsDir().isEmpty()) return configuredReportsDir();
    const QString fromEnvironment = qEnvironmentVariable("KRV_REPORTS_DIR");
    if (!fromEnvironment.isEmpty()) return fromEnvironment;
    const QDir appDir(QCoreApplication::applicationDirPath());
    const QString beside = appDir.filePath("reports");
    if (QDir(beside).exists()) return beside;
    return QDir::cleanPath(appDir.filePath("../reports"));
}

QString TReportDesigner::DefinitionPath() const { return QDir(ReportsDir()).filePath(ReportCode + ".json"); }

bool TReportDesigner::LoadDefinition() {
    const QString path = DefinitionPath();
    QFile file(path);
    if (!file.exists()) return false;
    if (!file.open(QIODevice::ReadOnly)) throw badDefinition(path, file.errorString());
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &error);
    if (error.error != QJsonParseError::NoError) throw badDefinition(path, error.errorString());
    if (!document.isObject()) throw badDefinition(path, "o conteúdo não é um objeto");
    const QJsonObject definition = document.object();
    const QJsonValue params = definition.value("params");
    if (!params.isUndefined() && !params.isArray()) throw badDefinition(path, "\"params\" deve ser uma lista");
    QStringList names;
    for (const QJsonValue& name : params.toArray()) {
        if (!name.isString() || name.toString().isEmpty()) throw badDefinition(path, "nome de parâmetro inválido");
        names << name.toString();
    }
    title_ = definition.value("title").toString();
    paramNames_ = names;
    loaded_ = true;
    return true;
}

TParams TReportDesigner::QueryParams() {
    TParams params;
    for (const QString& name : paramNames_) params.Add(ToStd(name));
    bool flag = false;
    if (BeforeGetQueryParams) BeforeGetQueryParams(params, flag);
    return params;
}

}  // namespace krv::host
