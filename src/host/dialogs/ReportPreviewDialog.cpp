#include "host/dialogs/ReportPreviewDialog.h"

#include <QGraphicsView>
#include <QKeyEvent>
#include <QPrintPreviewWidget>

namespace krv::host {

ReportPreviewDialog::ReportPreviewDialog(QPrinter& printer, const QString& title,
                                         std::function<void(QPrinter&)> paint, QWidget* parent)
    : QPrintPreviewDialog(&printer, parent),
      paint_(std::move(paint)),
      preview_(findChild<QPrintPreviewWidget*>()),
      pages_(preview_ ? preview_->findChild<QGraphicsView*>() : nullptr) {
    setWindowTitle(title);
    resize(900, 700);
    connect(this, &QPrintPreviewDialog::paintRequested, this, [this](QPrinter* target) { paint_(*target); });
    // Otherwise the zoom box has the focus, and the page keys go nowhere until a click.
    if (pages_) {
        pages_->setFocus(Qt::OtherFocusReason);
        pages_->installEventFilter(this);
    }
}

bool ReportPreviewDialog::eventFilter(QObject* watched, QEvent* event) {
    if (watched != pages_ || event->type() != QEvent::KeyPress) return QPrintPreviewDialog::eventFilter(watched, event);
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() == Qt::Key_Home) preview_->setCurrentPage(1);
    else if (key->key() == Qt::Key_End) preview_->setCurrentPage(preview_->pageCount());
    else return QPrintPreviewDialog::eventFilter(watched, event);
    return true;
}

}  // namespace krv::host
