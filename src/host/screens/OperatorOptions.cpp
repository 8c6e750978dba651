#include "host/screens/OperatorOptions.h"

#include <QCheckBox>
#include <QSettings>

#include "host/session/Session.h"

namespace krv::host {

namespace {

// An operator code is a group of the settings: a separator in it must not open another.
QString KeyOf(const QWidget* screen, const QCheckBox* option) {
    QString operador = Operador();
    operador.replace('/', '_').replace('\\', '_');
    return "operadores/" + operador + "/" + QString::fromLatin1(screen->metaObject()->className()).section("::", -1) +
           "/" + option->objectName();
}

}  // namespace

void RememberPerOperator(const QWidget* screen, QCheckBox* option) {
    const QString key = KeyOf(screen, option);
    QSettings settings(QStringLiteral("krv"), QStringLiteral("krv-host"));
    option->setChecked(settings.value(key, option->isChecked()).toBool());
    QObject::connect(option, &QCheckBox::toggled, option, [key](bool checked) {
        QSettings(QStringLiteral("krv"), QStringLiteral("krv-host")).setValue(key, checked);
    });
}

}  // namespace krv::host
