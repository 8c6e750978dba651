#include "host/controls/ToolButtons.h"

#include <QPainter>
#include <QPixmap>
#include <QShortcut>

namespace krv::host {

namespace {

QIcon magnifier() {
    QPixmap pm(16, 16);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(Qt::black, 1.6));
    p.setBrush(QColor(220, 235, 255));
    p.drawEllipse(QRectF(1.5, 1.5, 9, 9));
    p.setPen(QPen(QColor(90, 60, 20), 2.6, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(9.5, 9.5), QPointF(14, 14));
    return QIcon(pm);
}

}  // namespace

TButtonFlat::TButtonFlat(QWidget* parent) : QToolButton(parent) {
    setFocusPolicy(Qt::NoFocus);
    setAutoRaise(true);
}

TBtnPesquisa::TBtnPesquisa(QWidget* parent) : TButtonFlat(parent) {
    setIcon(magnifier());
    setToolTip(QStringLiteral("Pesquisar"));
}

void SetShortcut(QAbstractButton* button, const QKeySequence& key, QWidget* scope) {
    auto* shortcut = new QShortcut(key, scope);
    shortcut->setContext(Qt::WidgetWithChildrenShortcut);
    // click() is synchronous and does nothing on a disabled button.
    QObject::connect(shortcut, &QShortcut::activated, button, &QAbstractButton::click);
    button->setToolTip(QStringLiteral("%1 (%2)").arg(button->toolTip(), key.toString(QKeySequence::NativeText)));
}

}  // namespace krv::host
