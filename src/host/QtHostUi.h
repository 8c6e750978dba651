#pragma once
#include <QPointer>

#include "host/HostUi.h"

class QWidget;

namespace krv::host {

class BusyOverlay;

// The production HostUi: real Qt dialogs with Portuguese buttons and titles.
class QtHostUi : public HostUi {
public:
    QtHostUi();
    ~QtHostUi() override;

    int messageDlg(const QString& text, MsgDlgType type, int buttons) override;
    bool pesquisar(TClientDataSet& ds, const QString& title) override;
    bool pesquisaLista(TClientDataSet& ds, const QString& keyField, const QString& caption,
                       QString& keys) override;
    void procura(TClientDataSet& ds) override;
    QString saveFileName(const QString& title, const QString& filter) override;
    bool printDialog(QPrinter& printer) override;
    bool printerSetup(QPrinter& printer) override;
    bool inputText(const QString& title, const QString& prompt, QString& value) override;
    void showBusy(bool on) override;

private:
    QPointer<BusyOverlay> overlay_;
};

}  // namespace krv::host
