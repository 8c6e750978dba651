#include "host/dialogs/PickerDialog.h"

#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QSortFilterProxyModel>
#include <QTableView>
#include <QVBoxLayout>

#include "core/ClientDataSet.h"
#include "host/models/DataSetModel.h"

namespace krv::host {

PickerDialog::PickerDialog(TClientDataSet& ds, const QString& title, QWidget* parent)
    : QDialog(parent),
      ds_(ds),
      model_(new DataSetModel(ds, this)),
      proxy_(new QSortFilterProxyModel(this)),
      filter_(new QLineEdit(this)),
      grid_(new QTableView(this)) {
    setWindowTitle(title);
    proxy_->setSourceModel(model_);
    proxy_->setFilterKeyColumn(-1);
    proxy_->setFilterCaseSensitivity(Qt::CaseInsensitive);

    grid_->setModel(proxy_);
    ApplyGridLook(*grid_, *model_);
    ApplyPickerLook(*grid_);
    if (ds.RecNo() >= 0) grid_->setCurrentIndex(proxy_->mapFromSource(model_->index(ds.RecNo(), 0)));

    filter_->setPlaceholderText(QStringLiteral("Digite para filtrar"));
    connect(filter_, &QLineEdit::textChanged, this, [this](const QString& text) {
        proxy_->setFilterFixedString(text);
        if (proxy_->rowCount() > 0) grid_->setCurrentIndex(proxy_->index(0, 0));
    });
    filter_->installEventFilter(this);
    grid_->installEventFilter(this);
    connect(grid_, &QTableView::doubleClicked, this, [this] { pick(); });

    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    buttons->addButton(QStringLiteral("Cancelar"), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::accepted, this, [this] { pick(); });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(filter_);
    layout->addWidget(grid_);
    layout->addWidget(buttons);
    resize(560, 420);
    filter_->setFocus();
}

PickerDialog::~PickerDialog() = default;

int PickerDialog::shownRows() const { return proxy_->rowCount(); }

bool PickerDialog::pick() {
    if (proxy_->rowCount() == 0) return false;
    QModelIndex current = grid_->currentIndex();
    if (!current.isValid()) current = proxy_->index(0, 0);
    ds_.MoveTo(proxy_->mapToSource(current).row());
    accept();
    return true;
}

bool PickerDialog::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress) return QDialog::eventFilter(watched, event);
    auto* key = static_cast<QKeyEvent*>(event);
    switch (key->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            pick();
            return true;
        case Qt::Key_Up:
        case Qt::Key_Down:
        case Qt::Key_PageUp:
        case Qt::Key_PageDown:
            // Arrows typed in the filter move through the grid.
            if (watched == filter_) {
                QCoreApplication::sendEvent(grid_, event);
                return true;
            }
            break;
        default:
            break;
    }
    return QDialog::eventFilter(watched, event);
}

}  // namespace krv::host
