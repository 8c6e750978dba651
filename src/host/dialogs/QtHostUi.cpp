#include "host/dialogs/QtHostUi.h"

#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QInputDialog>
#include <QLabel>
#include <QMainWindow>
#include <QPageSetupDialog>
#include <QPointer>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>

#include "core/ClientDataSet.h"
#include "host/dialogs/BusyOverlay.h"
#include "host/dialogs/FindDialog.h"
#include "host/dialogs/ListPickerDialog.h"
#include "host/dialogs/PickerDialog.h"
#include "host/dialogs/ReportPreviewDialog.h"
#include "host/dialogs/SaveFiles.h"

namespace krv::host {

namespace {

QString titleOf(MsgDlgType type) {
    switch (type) {
        case MsgDlgType::Error:
            return QStringLiteral("Erro");
        case MsgDlgType::Information:
            return QStringLiteral("Informação");
        case MsgDlgType::Confirmation:
            return QStringLiteral("Confirmação");
        case MsgDlgType::Warning:
            return QStringLiteral("Aviso");
    }
    return {};
}

QMessageBox::Icon iconOf(MsgDlgType type) {
    switch (type) {
        case MsgDlgType::Error:
            return QMessageBox::Critical;
        case MsgDlgType::Information:
            return QMessageBox::Information;
        case MsgDlgType::Confirmation:
            return QMessageBox::Question;
        case MsgDlgType::Warning:
            return QMessageBox::Warning;
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

QWidget* dialogParent() { return QApplication::activeWindow(); }

// Runs a modal dialog and gives the activation back to the window that had it. A window
// manager would do that; without one (kiosks, some remote desktops) no window is active
// afterwards, and focus moves in the screen, such as Tab out of a corrected field, would
// never reach its exit handler. The platform tells of the closed dialog only after exec
// returns, so the activation is given back once that news has been through.
int execModal(QDialog& dialog) {
    const QPointer<QWidget> before = QApplication::activeWindow();
    const int result = dialog.exec();
    if (before)
        QTimer::singleShot(0, before, [before] {
            if (!before || !before->isVisible() || QApplication::activeWindow() == before) return;
            if (QApplication::activeModalWidget()) return;  // another dialog is up by now
            before->activateWindow();
            QApplication::setActiveWindow(before);
        });
    return result;
}

}  // namespace

MessageDialog::MessageDialog(const QString& text, MsgDlgType type, int buttons, QWidget* parent)
    : QMessageBox(iconOf(type), titleOf(type), text, QMessageBox::NoButton, parent) {
    if (buttons == 0) buttons = mbOK;
    for (const ButtonDef& def : kButtons)
        if (buttons & def.flag) results_.emplace_back(addButton(QString::fromUtf8(def.text), def.role), def.result);
    // Escape answers the button that cancels: Cancel, else No, else the first one.
    for (ModalResult escape : {mrCancel, mrNo, results_.front().second})
        if (QAbstractButton* b = buttonFor(escape)) {
            setEscapeButton(b);
            break;
        }
    // Every question's "Sim" here recalculates or generates data: Enter must not say it.
    if (auto* no = qobject_cast<QPushButton*>(buttonFor(mrNo))) setDefaultButton(no);
}

QAbstractButton* MessageDialog::buttonFor(ModalResult result) const {
    for (const auto& [button, r] : results_)
        if (r == result) return button;
    return nullptr;
}

int MessageDialog::modalResult() const {
    for (const auto& [button, r] : results_)
        if (clickedButton() == button) return r;
    return mrCancel;
}

QtHostUi::QtHostUi() = default;
QtHostUi::~QtHostUi() = default;

int QtHostUi::messageDlg(const QString& text, MsgDlgType type, int buttons) {
    MessageDialog box(text, type, buttons, dialogParent());
    execModal(box);
    return box.modalResult();
}

bool QtHostUi::pesquisar(TClientDataSet& ds, const QString& title) {
    if (ds.IsEmpty()) return false;
    PickerDialog dialog(ds, title, dialogParent());
    return execModal(dialog) == QDialog::Accepted;
}

bool QtHostUi::pesquisaLista(TClientDataSet& ds, const QString& keyField, const QString& caption, QString& keys) {
    if (ds.IsEmpty()) {
        messageDlg(caption.section('|', 1), MsgDlgType::Information, mbOK);
        return false;
    }
    ListPickerDialog dialog(ds, keyField, caption, keys, dialogParent());
    if (execModal(dialog) != QDialog::Accepted) return false;
    keys = dialog.keys();
    return true;
}

void QtHostUi::procura(TClientDataSet& ds) {
    if (ds.IsEmpty()) return;
    FindDialog dialog(ds, dialogParent());
    execModal(dialog);
}

// Qt's own dialog rather than the desktop's: it speaks the program's Portuguese.
QString QtHostUi::saveFileName(const QString& title, const QString& filter, const QString& proposedName) {
    QFileDialog dialog(dialogParent(), title, SaveFolder(), filter);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.selectFile(proposedName);
    PrepareSaveDialog(dialog);
    if (execModal(dialog) != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    const QString path = WithFilterSuffix(dialog.selectedFiles().front(), dialog.selectedNameFilter(), filter);
    RememberSaveFolder(path);
    return path;
}

bool QtHostUi::printDialog(QPrinter& printer) {
    QPrintDialog dialog(&printer, dialogParent());
    return execModal(dialog) == QDialog::Accepted;
}

bool QtHostUi::printerSetup(QPrinter& printer) {
    QPageSetupDialog dialog(&printer, dialogParent());
    return execModal(dialog) == QDialog::Accepted;
}

int QtHostUi::execDialog(QDialog& dialog) { return execModal(dialog); }

bool QtHostUi::inputText(const QString& title, const QString& prompt, QString& value) {
    bool ok = false;
    const QString text = QInputDialog::getText(dialogParent(), title, prompt, QLineEdit::Normal, value, &ok);
    if (ok) value = text;
    return ok;
}

void QtHostUi::previewReport(QPrinter& printer, const QString& title, const std::function<void(QPrinter&)>& paint) {
    ReportPreviewDialog dialog(printer, title, paint, dialogParent());
    execModal(dialog);
}

// The host has one main window; a screen shown on its own (krv-report, tests) has no status
// bar, and the line goes nowhere.
void QtHostUi::showStatus(const QString& text) {
    for (QWidget* top : QApplication::topLevelWidgets())
        if (auto* main = qobject_cast<QMainWindow*>(top)) {
            // A main window with a message field shows it there, where it is never cut.
            if (auto* field = main->findChild<QLabel*>(QStringLiteral("stbMensagem"))) {
                field->setText(text);
                field->setToolTip(text);
            } else {
                main->statusBar()->showMessage(text);
            }
            return;
        }
}

void QtHostUi::showBusy(bool on) {
    if (on) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        // The action that follows blocks the event loop: paint the overlay now, without
        // running other events in the middle of that action.
        if (QWidget* window = QApplication::activeWindow()) {
            overlay_ = new BusyOverlay(window);
            overlay_->repaint();
        }
        return;
    }
    delete overlay_.data();
    QApplication::restoreOverrideCursor();
}

}  // namespace krv::host
