#include "host/session/QtTranslations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace krv::host {

QTranslator* InstallQtTranslations(QObject* owner) {
    auto* translator = new QTranslator(owner);
    if (!translator->load(QStringLiteral("qtbase_pt_BR"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)) ||
        !QCoreApplication::installTranslator(translator)) {
        delete translator;
        return nullptr;
    }
    return translator;
}

void UseBrazilianLocale() {
    QLocale::setDefault(QLocale(QLocale::Portuguese, QLocale::Brazil));
    if (qEnvironmentVariableIsEmpty("LC_ALL")) qputenv("LC_TIME", "pt_BR.UTF-8");
}

}  // namespace krv::host
