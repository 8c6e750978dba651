#include "host/screens/FrmRotiGeral.h"

#include "host/controls/ToolButtons.h"
#include "host/events/EventHelpers.h"
#include "ui_FrmRotiGeral.h"

namespace krv::host {

TfrmRotiGeral::TfrmRotiGeral(QWidget* parent) : QDialog(parent), ui_(std::make_unique<Ui::TfrmRotiGeral>()) {
    ui_->setupUi(this);
    lblCodTela = ui_->lblCodTela;
    grbDadosRel = ui_->grbDadosRel;
    panMenu = ui_->panMenu;
    panBotoes = ui_->panBotoes;
    sbtConfirma = ui_->sbtConfirma;
    connect(sbtConfirma, &QToolButton::clicked, this, [this] { Guard([this] { sbtConfirmaClick(sbtConfirma); }); });
    SetShortcut(sbtConfirma, Qt::Key_F10, this);
}

TfrmRotiGeral::~TfrmRotiGeral() = default;

void TfrmRotiGeral::FormCreate() {
    // As in the report base screen: nothing to prepare yet, and derived screens call it first.
}

void TfrmRotiGeral::FormClose(QObject* /*Sender*/, int& /*Action*/) {}

void TfrmRotiGeral::sbtConfirmaClick(QObject* /*Sender*/) {}

void TfrmRotiGeral::AddMenuButton(QAbstractButton* button) {
    auto* menu = static_cast<QBoxLayout*>(panMenu->layout());
    menu->insertWidget(menu->indexOf(panBotoes) + 1, button);
}

// Every way a dialog ends (accept, reject, Esc, the window's close button) comes through
// here, so this is where the close event runs.
void TfrmRotiGeral::done(int result) {
    RunScreenClose(
        this, [this](int& action) { FormClose(this, action); }, [this, result] { QDialog::done(result); });
}

}  // namespace krv::host
