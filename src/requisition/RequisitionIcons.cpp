#include "requisition/RequisitionIcons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <functional>

namespace krv::requisition {

namespace {

QIcon Draw(const std::function<void(QPainter&)>& paint) {
    QPixmap pixmap(48, 48);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    paint(p);
    return QIcon(pixmap);
}

const QColor outline(0x45, 0x5a, 0x64);

}  // namespace

QIcon CalcReqIcon() {
    return Draw([](QPainter& p) {
        p.setPen(QPen(outline, 2));
        p.setBrush(QColor(0x78, 0x90, 0x9c));
        p.drawRoundedRect(QRectF(9, 4, 30, 40), 4, 4);
        p.setBrush(QColor(0xc5, 0xe1, 0xa5));
        p.drawRect(QRectF(13, 8, 22, 9));
        p.setPen(Qt::NoPen);
        for (int row = 0; row < 3; ++row)
            for (int col = 0; col < 3; ++col) {
                p.setBrush(row == 2 && col == 2 ? QColor(0xff, 0x98, 0x00) : QColor(0xec, 0xef, 0xf1));
                p.drawRect(QRectF(13 + col * 8, 21 + row * 7, 6, 5));
            }
    });
}

QIcon GerarPedidoIcon() {
    return Draw([](QPainter& p) {
        QPainterPath sheet;
        sheet.moveTo(8, 4);
        sheet.lineTo(28, 4);
        sheet.lineTo(36, 12);
        sheet.lineTo(36, 44);
        sheet.lineTo(8, 44);
        sheet.closeSubpath();
        p.setPen(QPen(outline, 2));
        p.setBrush(Qt::white);
        p.drawPath(sheet);
        p.setPen(QPen(QColor(0x90, 0xa4, 0xae), 2));
        for (int y = 16; y <= 32; y += 6) p.drawLine(13, y, 30, y);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0x43, 0xa0, 0x47));
        p.drawEllipse(QPointF(35, 35), 11, 11);
        p.setPen(QPen(Qt::white, 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawLine(29, 35, 41, 35);
        p.drawLine(36, 30, 41, 35);
        p.drawLine(36, 40, 41, 35);
    });
}

QIcon CalcPrevConsIcon() {
    return Draw([](QPainter& p) {
        p.setPen(QPen(outline, 2));
        p.drawLine(6, 42, 44, 42);
        p.setPen(Qt::NoPen);
        const int heights[] = {12, 20, 16, 28};
        for (int i = 0; i < 4; ++i) {
            p.setBrush(QColor(0x42, 0x85, 0xf4));
            p.drawRect(QRectF(9 + i * 9, 41 - heights[i], 6, heights[i]));
        }
        p.setPen(QPen(QColor(0xff, 0x98, 0x00), 3, Qt::DashLine, Qt::RoundCap));
        p.drawLine(10, 24, 44, 6);
    });
}

QIcon VerPrevisaoIcon() {
    return Draw([](QPainter& p) {
        p.setPen(QPen(outline, 2));
        p.setBrush(QColor(0xec, 0xef, 0xf1));
        p.drawRect(QRectF(5, 5, 30, 30));
        for (int at : {15, 25}) {
            p.drawLine(5, at, 35, at);
            p.drawLine(at, 5, at, 35);
        }
        p.setPen(QPen(QColor(0x42, 0x85, 0xf4), 4, Qt::SolidLine, Qt::RoundCap));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(QRectF(22, 22, 14, 14));
        p.drawLine(34, 34, 43, 43);
    });
}

}  // namespace krv::requisition
