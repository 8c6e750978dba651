#include "host/dialogs/TfrmLogin.h"

#include <QApplication>
#include <QEventLoop>
#include <QThread>

#include "host/dialogs/HostUi.h"
#include "ui_TfrmLogin.h"

namespace krv::host {

namespace {

// Runs the check aside, keeping the dialog painted and the cursor shown meanwhile.
QString CheckAside(const LoginCheck& check, const OperatorLogin& login) {
    QString refusal;
    QEventLoop waiting;
    QThread* worker = QThread::create([&] {
        try {
            refusal = check(login);
        } catch (const std::exception& e) {
            refusal = QString::fromUtf8(e.what());
        }
    });
    QObject::connect(worker, &QThread::finished, &waiting, &QEventLoop::quit);
    worker->start();
    waiting.exec(QEventLoop::ExcludeUserInputEvents);
    worker->wait();
    delete worker;
    return refusal;
}

}  // namespace

TfrmLogin::TfrmLogin(const QString& operador, const QString& mensagem, const QString& servidor, LoginCheck check,
                     QWidget* parent)
    : QDialog(parent), ui_(std::make_unique<Ui::TfrmLogin>()), check_(std::move(check)) {
    ui_->setupUi(this);
    if (!servidor.isEmpty()) setWindowTitle(windowTitle() + " " + servidor);
    // Room for the whole title beside the window manager's buttons.
    setMinimumWidth(fontMetrics().horizontalAdvance(windowTitle()) * 3 / 2 + 120);
    ui_->edtOperador->setText(operador);
    mostraMensagem(mensagem);
    // The operator is usually the one of last time: the cursor waits in the password.
    (operador.isEmpty() ? ui_->edtOperador : ui_->edtSenha)->setFocus();
    connect(ui_->edtOperador, &QLineEdit::textChanged, this, [this] { edtChange(); });
    connect(ui_->edtSenha, &QLineEdit::textChanged, this, [this] { edtChange(); });
    connect(ui_->btnEntrar, &QPushButton::clicked, this, [this] { btnEntrarClick(); });
    connect(ui_->btnCancelar, &QPushButton::clicked, this, &QDialog::reject);
    edtChange();
}

TfrmLogin::~TfrmLogin() = default;

QString TfrmLogin::Operador() const { return ui_->edtOperador->text().trimmed(); }

QString TfrmLogin::Senha() const { return ui_->edtSenha->text(); }

// Esc and the window's close button wait for the server's answer too.
void TfrmLogin::reject() {
    if (!verificando_) QDialog::reject();
}

void TfrmLogin::edtChange() { ui_->btnEntrar->setEnabled(!Operador().isEmpty() && !Senha().isEmpty()); }

void TfrmLogin::btnEntrarClick() {
    if (!check_) {
        accept();
        return;
    }
    setVerificando(true);
    const QString refusal = CheckAside(check_, {Operador(), Senha()});
    setVerificando(false);
    if (refusal.isEmpty()) {
        accept();
        return;
    }
    mostraMensagem(refusal);
    ui_->edtSenha->clear();
    ui_->edtSenha->setFocus();
}

void TfrmLogin::mostraMensagem(const QString& mensagem) {
    ui_->lblMensagem->setText(mensagem);
    ui_->lblMensagem->setVisible(!mensagem.isEmpty());
}

void TfrmLogin::setVerificando(bool on) {
    verificando_ = on;
    for (QWidget* w : {static_cast<QWidget*>(ui_->edtOperador), static_cast<QWidget*>(ui_->edtSenha),
                       static_cast<QWidget*>(ui_->btnEntrar), static_cast<QWidget*>(ui_->btnCancelar)})
        w->setEnabled(!on);
    if (on) {
        mostraMensagem("Verificando…");
        QApplication::setOverrideCursor(Qt::WaitCursor);
    } else {
        QApplication::restoreOverrideCursor();
        edtChange();
    }
}

std::optional<OperatorLogin> AskOperatorLogin(const QString& operador, const QString& mensagem,
                                              const QString& servidor, LoginCheck check) {
    TfrmLogin dialog(operador, mensagem, servidor, std::move(check));
    if (HostUi::instance().execDialog(dialog) != QDialog::Accepted) return std::nullopt;
    return OperatorLogin{dialog.Operador(), dialog.Senha()};
}

}  // namespace krv::host
