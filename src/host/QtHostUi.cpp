#include "host/QtHostUi.h"

#include <QApplication>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QPageSetupDialog>
#include <QPrintDialog>
#include <QPushButton>

#include <algorithm>

#include "core/ClientDataSet.h"
#include "host/BusyOverlay.h"
#include "host/FindDialog.h"
#include "host/ListPickerDialog.h"
#include "host/PickerDialog.h"

namespace krv::host {

namespace {

QString titleOf(MsgDlgType type) {
    switch (type) {
    case MsgDlgType::Error: return QStringLiteral("Erro");
    case MsgDlgType::Information: return QStringLiteral("Informação");
    case MsgDlgType::Confirmation: return QStringLiteral("Confirmação");
    case MsgDlgType::Warning: return QStringLiteral("Aviso");
    }
    return {};
}

QMessageBox::Icon iconOf(MsgDlgType type) {
    switch (type) {
    case MsgDlgType::Error: return QMessageBox::Critical;
    case MsgDlgType::Information: return QMessageBox::Information;
    case MsgDlgType::Confirmation: return QMessageBox::Question;
    case MsgDlgType::Warning: return QMessageBox::Warning;
    }
    return QMessageBox::NoIcon;
}

struct ButtonDef {
    MsgDlgButton flag;
    const char* text;
    QMessageBox::ButtonRole role;
    ModalResult result;
};

constexpr ButtonDef kButtons[] = {
    {mbYes, "Sim", QMessageBox::YesRole, mrYes},
    {mbNo, "Não", QMessageBox::NoRole, mrNo},
    {mbOK, "OK", QMessageBox::AcceptRole, mrOk},
    {mbCancel, "Cancelar", QMessageBox::RejectRole, mrCancel},
};

QWidget* dialogParent() {
    return QApplication::activeWindow();
}

}  // namespace

QtHostUi::QtHostUi() = default;
QtHostUi::~QtHostUi() = default;

int QtHostUi::messageDlg(const QString& text, MsgDlgType type, int buttons) {
    QMessageBox box(iconOf(type), titleOf(type), text, QMessageBox::NoButton, dialogParent());
    if (buttons == 0)
        buttons = mbOK;
    std::vector<std::pair<QAbstractButton*, ModalResult>> results;
    for (const ButtonDef& def : kButtons) {
        if (!(buttons & def.flag))
            continue;
        QPushButton* b = box.addButton(QString::fromUtf8(def.text), def.role);
        results.emplace_back(b, def.result);
    }
    // Escape answers the button that cancels: Cancel, else No, else the first one.
    for (ModalResult escape : {mrCancel, mrNo, results.front().second})
        if (auto it = std::find_if(results.begin(), results.end(),
                                   [&](auto& br) { return br.second == escape; });
            it != results.end()) {
            box.setEscapeButton(it->first);
            break;
        }
    box.exec();
    for (auto& [b, r] : results)
        if (box.clickedButton() == b)
            return r;
    return mrCancel;
}

bool QtHostUi::pesquisar(TClientDataSet& ds, const QString& title) {
    if (ds.IsEmpty())
        return false;
    PickerDialog dialog(ds, title, dialogParent());
    return dialog.exec() == QDialog::Accepted;
}

bool QtHostUi::pesquisaLista(TClientDataSet& ds, const QString& keyField, const QString& caption,
                             QString& keys) {
    if (ds.IsEmpty()) {
        messageDlg(caption.section('|', 1), MsgDlgType::Information, mbOK);
        return false;
    }
    ListPickerDialog dialog(ds, keyField, caption, keys, dialogParent());
    if (dialog.exec() != QDialog::Accepted)
        return false;
    keys = dialog.keys();
    return true;
}

void QtHostUi::procura(TClientDataSet& ds) {
    if (ds.IsEmpty())
        return;
    FindDialog dialog(ds, dialogParent());
    dialog.exec();
}

QString QtHostUi::saveFileName(const QString& title, const QString& filter) {
    return QFileDialog::getSaveFileName(dialogParent(), title, QString(), filter);
}

bool QtHostUi::printDialog(QPrinter& printer) {
    QPrintDialog dialog(&printer, dialogParent());
    return dialog.exec() == QDialog::Accepted;
}

bool QtHostUi::printerSetup(QPrinter& printer) {
    QPageSetupDialog dialog(&printer, dialogParent());
    return dialog.exec() == QDialog::Accepted;
}

bool QtHostUi::inputText(const QString& title, const QString& prompt, QString& value) {
    bool ok = false;
    const QString text =
        QInputDialog::getText(dialogParent(), title, prompt, QLineEdit::Normal, value, &ok);
    if (ok)
        value = text;
    return ok;
}

void QtHostUi::showBusy(bool on) {
    if (on) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        if (QWidget* window = QApplication::activeWindow())
            overlay_ = new BusyOverlay(window);
        // The action that follows blocks the event loop; paint the overlay now.
        QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        return;
    }
    delete overlay_.data();
    QApplication::restoreOverrideCursor();
}

}  // namespace krv::host
