#include "host/dialogs/FindDialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPushButton>

#include "core/ClientDataSet.h"
#include "host/dialogs/HostUi.h"
#include "host/models/DataSetModel.h"

namespace krv::host {

FindDialog::FindDialog(TClientDataSet& ds, QWidget* parent)
    : QDialog(parent),
      ds_(ds),
      model_(new DataSetModel(ds, this)),
      field_(new QComboBox(this)),
      text_(new QLineEdit(this)) {
    setWindowTitle(QStringLiteral("Procurar"));
    for (int c = 0; c < model_->columnCount(); ++c)
        if (c != model_->markColumn())
            field_->addItem(model_->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString(), c);

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* next = buttons->addButton(QStringLiteral("Próximo"), QDialogButtonBox::ActionRole);
    next->setDefault(true);
    buttons->addButton(QStringLiteral("Fechar"), QDialogButtonBox::RejectRole);
    connect(next, &QPushButton::clicked, this, [this] { findNext(); });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QFormLayout(this);
    layout->addRow(QStringLiteral("Campo"), field_);
    layout->addRow(QStringLiteral("Texto"), text_);
    layout->addRow(buttons);
    text_->setFocus();
}

FindDialog::~FindDialog() = default;

bool FindDialog::findNext() {
    const int rows = model_->rowCount();
    const QString wanted = text_->text();
    if (rows > 0 && field_->currentIndex() >= 0 && !wanted.isEmpty()) {
        const int column = field_->currentData().toInt();
        const int start = ds_.RecNo();
        for (int step = 1; step <= rows; ++step) {
            const int row = (start + step) % rows;
            const QString shown = model_->data(model_->index(row, column), Qt::DisplayRole).toString();
            if (shown.contains(wanted, Qt::CaseInsensitive)) {
                ds_.MoveTo(row);
                return true;
            }
        }
    }
    HostUi::instance().messageDlg(QStringLiteral("Nenhum registro encontrado."), MsgDlgType::Information, mbOK);
    return false;
}

}  // namespace krv::host
