#include "app/AppIcon.h"

#include <QPainter>
#include <QPixmap>

namespace krv::app {

namespace {

QPixmap Draw(int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 48.0, size / 48.0);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x2e, 0x7d, 0x32));
    p.drawRoundedRect(QRectF(1, 1, 46, 46), 9, 9);
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(24, 25), 13, 13);
    p.setBrush(QColor(0xc8, 0xe6, 0xc9));
    p.drawEllipse(QPointF(24, 25), 8, 8);
    p.setPen(QPen(Qt::white, 2.4, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(6.5, 9), QPointF(6.5, 41));  // fork
    p.drawLine(QPointF(4, 9), QPointF(4, 17));
    p.drawLine(QPointF(9, 9), QPointF(9, 17));
    p.setPen(QPen(Qt::white, 3.2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(42, 9), QPointF(42, 41));  // knife
    return pixmap;
}

}  // namespace

QIcon AppIcon() {
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128}) icon.addPixmap(Draw(size));
    return icon;
}

}  // namespace krv::app
