// krv-host: the host application of the meal-management modules.
#include <QApplication>
#include <cstdio>

#include "app/AppIcon.h"
#include "app/HostApp.h"
#include "host/dialogs/HostUi.h"
#include "host/session/QtTranslations.h"

int main(int argc, char** argv) {
    QApplication qapp(argc, argv);
    QApplication::setApplicationName("krv-host");
    QApplication::setWindowIcon(krv::app::AppIcon());
    QApplication::setApplicationVersion(KRV_VERSION);
    krv::host::InstallQtTranslations(&qapp);

    QString error;
    QString help;
    const auto options = krv::app::ParseHostOptions(QApplication::arguments(), error, &help);
    if (!options) {
        std::fprintf(stderr, "krv-host: %s\n", qPrintable(error));
        return 64;
    }
    if (options->help || options->version) {
        const QString version = QApplication::applicationName() + " " + QApplication::applicationVersion() + "\n";
        std::fputs(qPrintable(options->help ? help : version), stdout);
        return 0;
    }

    krv::app::HostApp host(*options, QApplication::applicationDirPath());
    if (!host.start(error)) {
        if (error.isEmpty()) return 1;  // the login was cancelled: nothing to explain
        std::fprintf(stderr, "krv-host: %s\n", qPrintable(error));
        krv::host::HostUi::instance().messageDlg(error, krv::host::MsgDlgType::Error, krv::host::mbOK);
        return 1;
    }
    return QApplication::exec();
}
