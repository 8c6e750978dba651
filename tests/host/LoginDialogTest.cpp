// The operator's login dialog: pre-filled, Enter logs in only when both fields are filled,
// Esc cancels, and the password is never shown.
#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

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
        EXPECT_EQ(ui.dialogsShown, QStringList{"Entrar no servidor"});
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
