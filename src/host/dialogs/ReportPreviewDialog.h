#pragma once
#include <QPrintPreviewDialog>
#include <functional>

class QGraphicsView;
class QPrintPreviewWidget;

namespace krv::host {

// Qt's print preview with the keys a reader of a long report reaches for, from the moment it
// opens: PgDn and PgUp scroll the pages, Home and End go to the first and the last page.
class ReportPreviewDialog : public QPrintPreviewDialog {
    Q_OBJECT
public:
    ReportPreviewDialog(QPrinter& printer, const QString& title, std::function<void(QPrinter&)> paint,
                        QWidget* parent = nullptr);

    QPrintPreviewWidget* Preview() const { return preview_; }
    // Where the pages are drawn; it has the focus when the dialog opens.
    QGraphicsView* Pages() const { return pages_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::function<void(QPrinter&)> paint_;
    QPrintPreviewWidget* preview_;
    QGraphicsView* pages_;
};

}  // namespace krv::host
