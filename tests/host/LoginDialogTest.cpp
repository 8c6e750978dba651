// The operator's login dialog: pre-filled, Enter logs in only when both fields are filled,
// Esc cancels, and the password is never shown.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <future>

#include "host/dialogs/TfrmLogin.h"
#include "support/ScriptedHostUi.h"

using namespace krv;
using namespace krv::host;

namespace {

struct Typing {
    const char* what;
    QString operador;  // typed over the pre-filled one; null: left as it came
    QString senha;
    Qt::Key key;
    std::optional<OperatorLogin> expected;
};

}  // namespace

TEST(LoginDialog, EnterLogsInWhenBothAreFilledAndEscCancels) {
    const Typing cases[] = {
        {"Enter with the pre-filled operator", {}, "s3nha", Qt::Key_Return, OperatorLogin{"ADMIN", "s3nha"}},
        {"keypad Enter, operator typed with blanks", " ANA ", "x", Qt::Key_Enter, OperatorLogin{"ANA", "x"}},
        {"Enter without a password", {}, "", Qt::Key_Return, std::nullopt},
        {"Enter with a blank operator", "  ", "s3nha", Qt::Key_Return, std::nullopt},
        {"Esc", {}, "s3nha", Qt::Key_Escape, std::nullopt},
    };
    for (const Typing& c : cases) {
        test::ScriptedHostUi ui;
        ui.answerDialog([&](QDialog& dialog) {
            dialog.show();
            auto* operador = dialog.findChild<QLineEdit*>("edtOperador");
            auto* senha = dialog.findChild<QLineEdit*>("edtSenha");
            EXPECT_EQ(operador->text(), "ADMIN") << c.what;
            EXPECT_EQ(senha->echoMode(), QLineEdit::Password);
            if (!c.operador.isNull()) operador->setText(c.operador);
            QTest::keyClicks(senha, c.senha);
            QTest::keyClick(senha, c.key);
            return dialog.result();
        });
        EXPECT_EQ(AskOperatorLogin("ADMIN", ""), c.expected) << c.what;
        EXPECT_EQ(ui.dialogsShown, QStringList{"Entrar no servidor"}) << "no server named";
    }
}

TEST(LoginDialog, TheReasonToAskAgainShowsOnlyWhenThereIsOne) {
    TfrmLogin fresh("", "");
    EXPECT_FALSE(fresh.findChild<QLabel*>("lblMensagem")->isVisibleTo(&fresh));
    EXPECT_FALSE(fresh.findChild<QPushButton*>("btnEntrar")->isEnabled());

    TfrmLogin again("ADMIN", "Operador ou senha inválidos.");
    auto* mensagem = again.findChild<QLabel*>("lblMensagem");
    EXPECT_TRUE(mensagem->isVisibleTo(&again));
    EXPECT_EQ(mensagem->text(), "Operador ou senha inválidos.");
    EXPECT_EQ(again.Senha(), "");
}

// The server may take seconds to refuse: the dialog stays up meanwhile, disabled, saying so,
// under a busy cursor, and Esc or the close button wait too; the refusal shows in it.
TEST(LoginDialog, StaysUpDisabledWhileTheServerDecides) {
    std::promise<void> looked;
    const std::shared_future<void> lookedAt = looked.get_future().share();
    std::vector<OperatorLogin> checked;
    TfrmLogin dialog("ADMIN", "", "127.0.0.1:7420", [&](const OperatorLogin& login) {
        lookedAt.wait();
        checked.push_back(login);
        return login.senha == "certa" ? QString() : QString("Operador ou senha inválidos.");
    });
    EXPECT_EQ(dialog.windowTitle(), "Entrar no servidor 127.0.0.1:7420");
    dialog.show();
    auto* senha = dialog.findChild<QLineEdit*>("edtSenha");
    auto* mensagem = dialog.findChild<QLabel*>("lblMensagem");
    struct {
        bool verificando = false, senhaEnabled = true, entrarEnabled = true, busy = false, visible = false;
        QString mensagem;
    } during;
    QTimer::singleShot(0, &dialog, [&] {
        dialog.reject();
        during = {dialog.Verificando(), senha->isEnabled(),
                  dialog.findChild<QPushButton*>("btnEntrar")->isEnabled(),
                  QApplication::overrideCursor() && QApplication::overrideCursor()->shape() == Qt::WaitCursor,
                  dialog.isVisible(), mensagem->text()};
        QDir().mkpath(KRV_SCREENS_DIR);
        dialog.grab().save(QDir(KRV_SCREENS_DIR).filePath("TfrmLogin-verificando.png"));
        looked.set_value();
    });
    senha->setText("errada");
    QTest::keyClick(senha, Qt::Key_Return);
    EXPECT_TRUE(during.verificando);
    EXPECT_FALSE(during.senhaEnabled);
    EXPECT_FALSE(during.entrarEnabled);
    EXPECT_TRUE(during.busy);
    EXPECT_TRUE(during.visible) << "neither the wait nor the rejection closed it";
    EXPECT_EQ(during.mensagem, "Verificando…");

    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(mensagem->text(), "Operador ou senha inválidos.");
    EXPECT_EQ(senha->text(), "");
    EXPECT_TRUE(senha->isEnabled());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);

    senha->setText("certa");
    QTest::keyClick(senha, Qt::Key_Return);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(checked, (std::vector<OperatorLogin>{{"ADMIN", "errada"}, {"ADMIN", "certa"}}));
}
