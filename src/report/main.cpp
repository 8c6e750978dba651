// krv-report --server HOST:PORT --filial CODE --de DD/MM/AAAA --ate DD/MM/AAAA [options]
//            --saida FILE.pdf|FILE.csv
// Writes the requisition report KRV520 to a file. Exit status 0 only when the file was
// written; otherwise one Portuguese line on standard error.
#include <QGuiApplication>
#include <QTextStream>
#include <cstdio>

#include "host/session/QtTranslations.h"
#include "report/ReportCommand.h"
#include "report/ReportRun.h"

namespace {
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;
}  // namespace

int main(int argc, char** argv) {
    // Scheduled runs have no display.
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QGuiApplication::setApplicationName("krv-report");
    QGuiApplication::setApplicationVersion(KRV_VERSION);
    krv::host::InstallQtTranslations(&app);
    try {
        const krv::report::ReportCommand command = krv::report::ParseReportCommand(QGuiApplication::arguments());
        if (!command.shown.isEmpty()) {
            QTextStream(stdout) << command.shown;
            return 0;
        }
        krv::report::RunReport(command);
        return 0;
    } catch (const krv::report::UsageError& e) {
        std::fprintf(stderr, "krv-report: %s\n", e.what());
        return kExitUsage;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "krv-report: %s\n", e.what());
        return kExitFailure;
    }
}
