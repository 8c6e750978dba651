#pragma once
#include <QDialog>
#include <QString>
#include <memory>
#include <optional>

namespace Ui {
class TfrmLogin;
}

namespace krv::host {

// The operator and password asked before the host works with a server. Enter logs in,
// Esc cancels; "Entrar" waits until both are filled, since the server refuses a blank one.
class TfrmLogin : public QDialog {
    Q_OBJECT
public:
    // `mensagem`: why the question is asked again (a refused login), shown above the buttons.
    TfrmLogin(const QString& operador, const QString& mensagem, QWidget* parent = nullptr);
    ~TfrmLogin() override;

    QString Operador() const;
    QString Senha() const;

private:
    void edtChange();

    std::unique_ptr<Ui::TfrmLogin> ui_;
};

struct OperatorLogin {
    QString operador;
    QString senha;
    bool operator==(const OperatorLogin&) const = default;
};

// Shows TfrmLogin through HostUi; nullopt when the user cancelled.
std::optional<OperatorLogin> AskOperatorLogin(const QString& operador, const QString& mensagem);

}  // namespace krv::host
