#pragma once
#include <QMessageBox>
#include <QPointer>

#include <utility>
#include <vector>

#include "host/dialogs/HostUi.h"

class QWidget;

namespace krv::host {

class BusyOverlay;

// The message box of messageDlg: title by type ("Erro", "Informação", "Confirmação",
// "Aviso"), buttons in Portuguese ("Sim", "Não", "OK", "Cancelar"); Escape answers
// Cancel, else No, else the only button; Enter answers No when there is one.
class MessageDialog : public QMessageBox {
    Q_OBJECT
public:
    MessageDialog(const QString& text, MsgDlgType type, int buttons, QWidget* parent = nullptr);
    QAbstractButton* buttonFor(ModalResult result) const;  // nullptr when not shown
    int modalResult() const;                               // of the button clicked; mrCancel when none was

private:
    std::vector<std::pair<QAbstractButton*, ModalResult>> results_;
};

// The production HostUi: real Qt dialogs with Portuguese buttons and titles.
class QtHostUi : public HostUi {
public:
    QtHostUi();
    ~QtHostUi() override;

    int messageDlg(const QString& text, MsgDlgType type, int buttons) override;
    bool pesquisar(TClientDataSet& ds, const QString& title) override;
    bool pesquisaLista(TClientDataSet& ds, const QString& keyField, const QString& caption, QString& keys) override;
    void procura(TClientDataSet& ds) override;
    QString saveFileName(const QString& title, const QString& filter, const QString& proposedName) override;
    bool printDialog(QPrinter& printer) override;
    bool printerSetup(QPrinter& printer) override;
    bool inputText(const QString& title, const QString& prompt, QString& value) override;
    void previewReport(QPrinter& printer, const QString& title, const std::function<void(QPrinter&)>& paint) override;
    int execDialog(QDialog& dialog) override;
    void showStatus(const QString& text) override;
    void showBusy(bool on) override;

private:
    QPointer<BusyOverlay> overlay_;
};

}  // namespace krv::host
