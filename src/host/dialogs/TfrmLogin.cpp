#include "host/dialogs/TfrmLogin.h"

#include "host/dialogs/HostUi.h"
#include "ui_TfrmLogin.h"

namespace krv::host {

TfrmLogin::TfrmLogin(const QString& operador, const QString& mensagem, QWidget* parent)
    : QDialog(parent), ui_(std::make_unique<Ui::TfrmLogin>()) {
    ui_->setupUi(this);
    ui_->edtOperador->setText(operador);
    ui_->lblMensagem->setText(mensagem);
    ui_->lblMensagem->setVisible(!mensagem.isEmpty());
    // The operator is usually the one of last time: the cursor waits in the password.
    (operador.isEmpty() ? ui_->edtOperador : ui_->edtSenha)->setFocus();
    connect(ui_->edtOperador, &QLineEdit::textChanged, this, [this] { edtChange(); });
    connect(ui_->edtSenha, &QLineEdit::textChanged, this, [this] { edtChange(); });
    connect(ui_->btnEntrar, &QPushButton::clicked, this, &QDialog::accept);
    connect(ui_->btnCancelar, &QPushButton::clicked, this, &QDialog::reject);
    edtChange();
}

TfrmLogin::~TfrmLogin() = default;

QString TfrmLogin::Operador() const { return ui_->edtOperador->text().trimmed(); }

QString TfrmLogin::Senha() const { return ui_->edtSenha->text(); }

void TfrmLogin::edtChange() { ui_->btnEntrar->setEnabled(!Operador().isEmpty() && !Senha().isEmpty()); }

std::optional<OperatorLogin> AskOperatorLogin(const QString& operador, const QString& mensagem) {
    TfrmLogin dialog(operador, mensagem);
    if (HostUi::instance().execDialog(dialog) != QDialog::Accepted) return std::nullopt;
    return OperatorLogin{dialog.Operador(), dialog.Senha()};
}

}  // namespace krv::host
