#pragma once
#include <QPixmap>
#include <QStyledItemDelegate>

#include "host/models/DataSetModel.h"

namespace krv::host {

// Draws the mark column: a check box picture (checked, unchecked or gray) centred in the
// cell over the cell's normal or selected background, hiding the "S"/"N" text.
class MarkDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    explicit MarkDelegate(QObject* parent = nullptr);

    // The one delegate a view uses for its mark column, created on first use.
    static MarkDelegate* shared(QWidget& view);
    // The 16×16 picture of a state, on a transparent background.
    static const QPixmap& picture(MarkState state);

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};

}  // namespace krv::host
