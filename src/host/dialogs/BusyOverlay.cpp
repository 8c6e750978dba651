#include "host/dialogs/BusyOverlay.h"

#include <QEvent>
#include <QPainter>

namespace krv::host {

BusyOverlay::BusyOverlay(QWidget* window) : QWidget(window) {
    setObjectName("BusyOverlay");
    setAttribute(Qt::WA_NoSystemBackground);
    window->installEventFilter(this);
    coverParent();
    raise();
    show();
}

bool BusyOverlay::eventFilter(QObject* watched, QEvent* event) {
    if (watched == parentWidget() && event->type() == QEvent::Resize) coverParent();
    return QWidget::eventFilter(watched, event);
}

void BusyOverlay::coverParent() { setGeometry(parentWidget()->rect()); }

void BusyOverlay::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const QString text = QStringLiteral("Aguarde…");
    const QFontMetrics fm(font());
    const QSize box(fm.horizontalAdvance(text) + 4 * fm.height(), 3 * fm.height());
    QRect panel(QPoint(0, 0), box);
    panel.moveCenter(rect().center());
    p.setPen(palette().color(QPalette::Dark));
    p.setBrush(palette().color(QPalette::ToolTipBase));
    p.drawRoundedRect(panel.adjusted(0, 0, -1, -1), 4, 4);
    p.setPen(palette().color(QPalette::ToolTipText));
    p.drawText(panel, Qt::AlignCenter, text);
}

}  // namespace krv::host
