#include "host/screens/ScreenSize.h"

#include <QScreen>
#include <QSettings>
#include <QWidget>

namespace krv::host {

namespace {

QString KeyOf(const QWidget* screen) {
    return "telas/" + QString::fromLatin1(screen->metaObject()->className()).section("::", -1) + "/tamanho";
}

QSettings Settings() { return QSettings(QStringLiteral("krv"), QStringLiteral("krv-host")); }

}  // namespace

void RestoreScreenSize(QWidget* screen, QSize firstSize) {
    QSize size = Settings().value(KeyOf(screen), firstSize).toSize();
    if (const QScreen* where = screen->screen()) size = size.boundedTo(where->availableSize());
    screen->resize(size);
}

void SaveScreenSize(const QWidget* screen) { Settings().setValue(KeyOf(screen), screen->size()); }

}  // namespace krv::host
