#pragma once
#include <QDialog>
#include <QString>
#include <functional>
#include <memory>
#include <optional>

namespace Ui {
class TfrmLogin;
}

namespace krv::host {

struct OperatorLogin {
    QString operador;
    QString senha;
    bool operator==(const OperatorLogin&) const = default;
};

// Whether the server takes an operator and password: empty when it does, otherwise why not.
// It runs on a thread of its own while the dialog waits, so it must not touch widgets.
using LoginCheck = std::function<QString(const OperatorLogin&)>;

// The operator and password asked before the host works with a server. Enter logs in,
// Esc cancels; "Entrar" waits until both are filled, since the server refuses a blank one.
// With a check, the dialog stays up while the server decides (which may take seconds after
// a refusal), disabled, saying so, under a busy cursor; a refusal is shown in it, the
// operator kept and the password cleared, and the user tries again or cancels.
class TfrmLogin : public QDialog {
    Q_OBJECT
public:
    // `mensagem`: why the question is asked (an earlier failure), shown above the buttons;
    // `servidor`: the server's address, in the title.
    TfrmLogin(const QString& operador, const QString& mensagem, const QString& servidor = QString(),
              LoginCheck check = {}, QWidget* parent = nullptr);
    ~TfrmLogin() override;

    QString Operador() const;
    QString Senha() const;
    bool Verificando() const { return verificando_; }

    void reject() override;

private:
    void edtChange();
    void btnEntrarClick();
    void mostraMensagem(const QString& mensagem);
    void setVerificando(bool on);

    std::unique_ptr<Ui::TfrmLogin> ui_;
    LoginCheck check_;
    bool verificando_ = false;
};

// Shows TfrmLogin through HostUi; nullopt when the user cancelled. With a check, only a
// login the check accepted comes back.
std::optional<OperatorLogin> AskOperatorLogin(const QString& operador, const QString& mensagem,
                                              const QString& servidor = QString(), LoginCheck check = {});

}  // namespace krv::host
