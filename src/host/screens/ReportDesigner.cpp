#include "host/screens/ReportDesigner.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include "host/models/Convert.h"

namespace krv::host {

namespace {

QString& configuredReportsDir() {
    static QString dir;
    return dir;
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
    // Installed: share/krv/reports beside bin/.
    const QString installed = QDir::cleanPath(appDir.filePath("../share/krv/reports"));
    if (QDir(installed).exists()) return installed;
    return QDir::cleanPath(appDir.filePath("../reports"));
}

QString TReportDesigner::DefinitionPath() const { return QDir(ReportsDir()).filePath(ReportCode + ".json"); }

bool TReportDesigner::LoadDefinition() {
    const QString path = DefinitionPath();
    if (!QFile::exists(path)) return false;
    definition_ = ReportDefinition::Load(path);
    return true;
}

TParams TReportDesigner::QueryParams() {
    TParams params;
    for (const QString& name : definition_.params) params.Add(ToStd(name));
    bool flag = false;
    if (BeforeGetQueryParams) BeforeGetQueryParams(params, flag);
    return params;
}

}  // namespace krv::host
