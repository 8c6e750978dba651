#pragma once
#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>

#include "core/Params.h"
#include "host/report/ReportDefinition.h"

namespace krv::host {

// The report designer component of a report screen: knows the screen's report code, reads
// the report definition (reports/<code>.json, see ReportDefinition) and builds the query
// parameters, letting the screen fill them in BeforeGetQueryParams.
class TReportDesigner : public QObject {
    Q_OBJECT
public:
    explicit TReportDesigner(QObject* parent = nullptr);

    QString ReportCode;  // "KRV520"

    // Folder of the report definitions. Default: $KRV_REPORTS_DIR, else "reports" beside the
    // executable, else "reports" one folder above it.
    static void SetReportsDir(const QString& dir);
    static QString ReportsDir();
    QString DefinitionPath() const;

    // Reads the definition of ReportCode. False when the file does not exist; throws
    // EReportDefinition for a file that is no valid definition.
    bool LoadDefinition();
    const ReportDefinition& Definition() const { return definition_; }
    const QString& Title() const { return definition_.title; }
    const QStringList& ParamNames() const { return definition_.params; }

    // Raised before the query parameters are used; the bool is the engine's flag, passed on unchanged.
    std::function<void(TParams&, bool&)> BeforeGetQueryParams;

    // One parameter per name of the loaded definition, filled by BeforeGetQueryParams.
    TParams QueryParams();

private:
    ReportDefinition definition_;
};

}  // namespace krv::host
