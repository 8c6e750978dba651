#pragma once
#include <QDialog>
#include <memory>

#include "host/screens/Messages.h"

class QAbstractButton;
class QFrame;
class QGroupBox;
class QLabel;
class QToolButton;

namespace Ui {
class TfrmRotiGeral;
}

namespace krv::host {

// Base of the modal routine screens: the screen code, a data area for the screen's
// controls and a side menu whose button panel holds the confirm button.
// A derived screen lays its form into grbDadosRel (ui.setupUi(grbDadosRel)).
class TfrmRotiGeral : public QDialog {
    Q_OBJECT
public:
    static constexpr bool MdiChild = false;

    explicit TfrmRotiGeral(QWidget* parent = nullptr);
    ~TfrmRotiGeral() override;

    virtual void FormCreate();
    // Close event, also for accept/reject/Esc; Action starts as caHide. caNone keeps the
    // screen open, caFree deletes it once control is back in the event loop.
    virtual void FormClose(QObject* Sender, int& Action);
    // Click of sbtConfirma, run under the event guard; the base screen has nothing to confirm.
    virtual void sbtConfirmaClick(QObject* Sender);

    // Puts a screen's own button in the side menu, below the button panel.
    void AddMenuButton(QAbstractButton* button);

    QLabel* lblCodTela = nullptr;
    QGroupBox* grbDadosRel = nullptr;
    QFrame* panMenu = nullptr;
    QFrame* panBotoes = nullptr;
    QToolButton* sbtConfirma = nullptr;
    TMessages msgPadrao;

    void done(int result) override;

private:
    std::unique_ptr<Ui::TfrmRotiGeral> ui_;
};

}  // namespace krv::host
