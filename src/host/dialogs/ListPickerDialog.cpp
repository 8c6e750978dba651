#include "host/dialogs/ListPickerDialog.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPushButton>
#include <QSet>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>
#include <stdexcept>

#include "core/ClientDataSet.h"
#include "host/controls/ToolButtons.h"
#include "host/models/DataSetModel.h"

namespace krv::host {

namespace {

std::vector<GridColumn> markThenVisible(const TClientDataSet& ds) {
    std::vector<GridColumn> columns{{DataSetModel::kMarkField, QString(), 24}};
    for (const PersistentField& f : ds.Fields())
        if (f.visible && f.name != DataSetModel::kMarkField) columns.push_back({f.name, {}, 0});
    return columns;
}

int keyFieldIndex(const TClientDataSet& ds, const QString& keyField) {
    const int index = ds.FieldIndex(keyField.toStdString());
    if (index < 0) throw std::invalid_argument("O campo chave '" + keyField.toStdString() + "' não existe na lista.");
    return index;
}

}  // namespace

ListPickerDialog::ListPickerDialog(TClientDataSet& ds, const QString& keyField, const QString& caption,
                                   const QString& keys, QWidget* parent)
    : QDialog(parent),
      ds_(ds),
      keyField_(keyFieldIndex(ds, keyField)),
      marks_(size_t(ds.RecordCount()), 0),
      model_(new DataSetModel(ds, markThenVisible(ds), this)),
      grid_(new QTableView(this)) {
    setWindowTitle(caption.section('|', 0, 0));

    const QStringList given = keys.split('_', Qt::SkipEmptyParts);
    const QSet<QString> preMarked(given.begin(), given.end());
    for (int row = 0; row < int(marks_.size()); ++row)
        marks_[row] = preMarked.contains(QString::fromStdString(ds.ValueAt(row, keyField_).asString()));
    model_->setMarkSource([this](int row) { return row < int(marks_.size()) && marks_[row]; });

    grid_->setModel(model_);
    ApplyGridLook(*grid_, *model_);
    ApplyPickerLook(*grid_);
    grid_->installEventFilter(this);
    connect(grid_, &QTableView::clicked, this, [this](const QModelIndex& index) {
        if (index.column() == model_->markColumn()) toggle(index.row());
    });
    if (!marks_.empty()) grid_->setCurrentIndex(model_->index(0, 1));

    // The keys are written on the buttons, where the eye looks for them.
    auto* markAllButton = new QPushButton(QStringLiteral("Marcar todos (Alt+M)"), this);
    auto* unmarkAllButton = new QPushButton(QStringLiteral("Desmarcar todos (Alt+D)"), this);
    markAllButton->setObjectName("btnMarcarTodos");
    unmarkAllButton->setObjectName("btnDesmarcarTodos");
    for (QPushButton* b : {markAllButton, unmarkAllButton}) {
        b->setAutoDefault(false);
        b->setFocusPolicy(Qt::NoFocus);
        b->setToolTip(b->text().section(" (", 0, 0));
    }
    SetShortcut(markAllButton, Qt::ALT | Qt::Key_M, this);
    SetShortcut(unmarkAllButton, Qt::ALT | Qt::Key_D, this);
    connect(markAllButton, &QPushButton::clicked, this, [this] { markAll(true); });
    connect(unmarkAllButton, &QPushButton::clicked, this, [this] { markAll(false); });

    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole)->setDefault(true);
    buttons->addButton(QStringLiteral("Cancelar"), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* row = new QHBoxLayout;
    row->addWidget(markAllButton);
    row->addWidget(unmarkAllButton);
    row->addStretch();
    row->addWidget(buttons);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(grid_);
    layout->addLayout(row);
    resize(560, 420);
    grid_->setFocus();
}

ListPickerDialog::~ListPickerDialog() = default;

void ListPickerDialog::toggle(int row) {
    if (row < 0 || row >= int(marks_.size())) return;
    marks_[row] = !marks_[row];
    model_->marksChanged(row, row);
}

void ListPickerDialog::markAll(bool on) {
    std::fill(marks_.begin(), marks_.end(), char(on));
    model_->marksChanged(0, int(marks_.size()) - 1);
}

int ListPickerDialog::markedCount() const { return int(std::count(marks_.begin(), marks_.end(), 1)); }

QString ListPickerDialog::keys() const {
    QString out;
    for (int row = 0; row < int(marks_.size()); ++row)
        if (marks_[row]) out += '_' + QString::fromStdString(ds_.ValueAt(row, keyField_).asString());
    return out.isEmpty() ? QString() : out + '_';
}

bool ListPickerDialog::eventFilter(QObject* watched, QEvent* event) {
    if (watched == grid_ && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Space) {
        toggle(grid_->currentIndex().row());
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

}  // namespace krv::host
