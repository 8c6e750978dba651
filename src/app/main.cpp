// krv-host: the host application of the meal-management modules.
#include <QApplication>
#include <QCoreApplication>
#include <optional>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/AppIcon.h"
#include "app/HostApp.h"
#include "host/dialogs/HostUi.h"
#include "host/session/QtTranslations.h"

namespace {

// Without a display Qt stops the program with an abort and an English message; a machine
// without one (a server with the client package) gets a plain answer instead, and --help and
// --version still work there.
bool displayMissing(int argc, char** argv) {
    const auto set = [](const char* name) { return std::getenv(name) && *std::getenv(name); };
    if (set("DISPLAY") || set("WAYLAND_DISPLAY") || set("QT_QPA_PLATFORM")) return false;
    for (int i = 1; i < argc; ++i)
        if (!std::strcmp(argv[i], "--help") || !std::strcmp(argv[i], "-h") || !std::strcmp(argv[i], "--version")) {
            setenv("QT_QPA_PLATFORM", "offscreen", 1);
            return false;
        }
    return true;
}

}  // namespace

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

    if (displayMissing(argc, argv)) {
        std::fputs("krv-host: nenhuma tela disponível (DISPLAY e WAYLAND_DISPLAY vazios): o krv-host precisa de uma "
                   "interface gráfica; nesta máquina use krv-call ou krv-report\n",
                   stderr);
        return 1;
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
