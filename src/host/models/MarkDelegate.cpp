#include "host/models/MarkDelegate.h"

#include <QApplication>
#include <QPainter>

namespace krv::host {

namespace {

constexpr int kSize = 16;
const QColor kSilver(192, 192, 192);

// A white (or silver) box with a black top and left edge and a silver shadow at its
// right and bottom, optionally with a black check mark.
QPixmap drawPicture(MarkState state) {
    QPixmap pm(kSize, kSize);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    const QRect box(2, 2, 12, 12);
    p.fillRect(box, state == MarkState::Gray ? kSilver : QColor(Qt::white));
    p.setPen(Qt::black);
    p.drawLine(box.topLeft(), box.topRight());
    p.drawLine(box.topLeft(), box.bottomLeft());
    p.setPen(kSilver.darker(130));
    p.drawLine(box.topRight(), box.bottomRight());
    p.drawLine(box.bottomLeft(), box.bottomRight());
    if (state == MarkState::Checked) {
        QPen pen(Qt::black, 2);
        p.setPen(pen);
        p.drawPolyline(QPolygon({QPoint(4, 8), QPoint(7, 11), QPoint(12, 5)}));
    }
    return pm;
}

}  // namespace

MarkDelegate::MarkDelegate(QObject* parent) : QStyledItemDelegate(parent) {}

MarkDelegate* MarkDelegate::shared(QWidget& view) {
    if (auto* existing = view.findChild<MarkDelegate*>(QString(), Qt::FindDirectChildrenOnly)) return existing;
    return new MarkDelegate(&view);
}

const QPixmap& MarkDelegate::picture(MarkState state) {
    static const QPixmap pictures[] = {drawPicture(MarkState::Unchecked), drawPicture(MarkState::Checked),
                                       drawPicture(MarkState::Gray)};
    return pictures[int(state)];
}

void MarkDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const {
    QStyleOptionViewItem opt(option);
    initStyleOption(&opt, index);
    opt.text.clear();
    const QWidget* widget = opt.widget;
    QStyle* style = widget ? widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, widget);

    const QVariant state = index.data(DataSetModel::MarkStateRole);
    if (!state.isValid()) return;
    const QRect cell = option.rect;
    const QPoint at(cell.left() + (cell.width() - kSize) / 2, cell.top());
    painter->save();
    painter->setClipRect(cell);
    painter->drawPixmap(at, picture(MarkState(state.toInt())));
    painter->restore();
}

}  // namespace krv::host
