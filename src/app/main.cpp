// krv-host: the host application of the meal-management modules.
#include <QApplication>
#include <QCoreApplication>
#include <optional>
#include <cstdio>

#include "app/AppIcon.h"
#include "app/HostApp.h"
#include "host/dialogs/HostUi.h"
#include "host/session/QtTranslations.h"

int main(int argc, char** argv) {
    // The options are read before any window system is needed, so --help and --version, and
    // a mistyped option, answer in Portuguese on a terminal without a display.
    QString error;
    std::optional<krv::app::HostOptions> options;
    {
        QCoreApplication terminal(argc, argv);
        krv::host::InstallQtTranslations(&terminal);
        QString help;
        options = krv::app::ParseHostOptions(QCoreApplication::arguments(), error, &help);
        if (!options) {
            std::fprintf(stderr, "krv-host: %s\n", qPrintable(error));
            return 64;
        }
        if (options->help || options->version) {
            std::fputs(qPrintable(options->help ? help : QString("krv-host " KRV_VERSION "\n")), stdout);
            return 0;
        }
    }

    krv::host::UseBrazilianLocale();
    QApplication qapp(argc, argv);
    QApplication::setApplicationName("krv-host");
    QApplication::setWindowIcon(krv::app::AppIcon());
    QApplication::setApplicationVersion(KRV_VERSION);
    krv::host::InstallQtTranslations(&qapp);

    krv::app::HostApp host(*options, QApplication::applicationDirPath());
    if (!host.start(error)) {
        if (error.isEmpty()) return 1;  // the login was cancelled: nothing to explain
        std::fprintf(stderr, "krv-host: %s\n", qPrintable(error));
        krv::host::HostUi::instance().messageDlg(error, krv::host::MsgDlgType::Error, krv::host::mbOK);
        return 1;
    }
    return QApplication::exec();
}
