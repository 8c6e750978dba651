// krv-host and a server named on its command line: the operator logs in through the
// dialog until the server accepts, or gives up.
#include <gtest/gtest.h>

#include <QDialog>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>

#include "LoginAcceptor.h"
#include "app/HostApp.h"
#include "app/ServerLogin.h"
#include "host/session/NetConnection.h"
#include "support/ScriptedHostUi.h"

using namespace krv;

namespace {

// What the login dialog showed before each try, and then the user's typing.
struct DialogSeen {
    QString operador, senha, mensagem;
};

// Each try types an operator and password into the same dialog and presses "Entrar"; the
// dialog stays up until one is accepted, then the rest of `tries` is left untried.
std::function<int(QDialog&)> typeLogins(std::vector<DialogSeen>& seen, std::vector<std::pair<QString, QString>> tries) {
    return [&seen, tries](QDialog& dialog) {
        auto* edtOperador = dialog.findChild<QLineEdit*>("edtOperador");
        auto* edtSenha = dialog.findChild<QLineEdit*>("edtSenha");
        auto* lblMensagem = dialog.findChild<QLabel*>("lblMensagem");
        for (const auto& [operador, senha] : tries) {
            seen.push_back({edtOperador->text(), edtSenha->text(), lblMensagem->text()});
            edtOperador->setText(operador);
            edtSenha->setText(senha);
            dialog.findChild<QPushButton*>("btnEntrar")->click();
            if (dialog.result() == QDialog::Accepted) break;
            seen.push_back({edtOperador->text(), edtSenha->text(), lblMensagem->text()});
            EXPECT_TRUE(edtSenha->isEnabled()) << "the dialog is usable again after the answer";
        }
        return dialog.result();
    };
}

host::SessionInfo sessionAt(uint16_t port) { return {"0001", "ADMIN", "127.0.0.1", port}; }

}  // namespace

TEST(HostLogin, ARefusedLoginAsksAgainKeepingTheOperatorAndClearingThePassword) {
    rpc::test::LoginAcceptor server(rpc::test::acceptsOperator("ANA", "certa"));
    test::ScriptedHostUi ui;
    std::vector<DialogSeen> seen;
    ui.answerDialog(typeLogins(seen, {{"ANA", "errada"}, {"ANA", "certa"}}));

    host::SessionInfo session = sessionAt(server.port());
    ASSERT_TRUE(app::LogInToServer(session));
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[0].operador, "ADMIN") << "pre-filled with --operador";
    EXPECT_EQ(seen[0].mensagem, "");
    EXPECT_EQ(seen[1].operador, "ANA");
    EXPECT_EQ(seen[1].senha, "");
    EXPECT_EQ(seen[1].mensagem, "Operador ou senha inválidos.");
    EXPECT_TRUE(ui.allAnswersUsed());
    EXPECT_EQ(ui.dialogsShown, QStringList{QString("Entrar no servidor 127.0.0.1:%1").arg(server.port())});

    EXPECT_EQ(host::CurrentSession().operador, "ANA") << "the screens send the operator who logged in";
    EXPECT_EQ(host::CurrentSession().password, "certa");
    EXPECT_TRUE(host::SessionConnection().Connected());
    const std::vector<Variant> frames{Variant::Array{"auth", "ANA", "errada"}, Variant::Array{"auth", "ANA", "certa"}};
    EXPECT_EQ(server.firstFrames(), frames);
    host::SetSession({});
}

TEST(HostLogin, AnUnreachableServerSaysWhyAndCancelEndsTheHost) {
    uint16_t closedPort = 0;
    {
        rpc::test::LoginAcceptor gone([](const Variant&) { return true; });
        closedPort = gone.port();
    }
    test::ScriptedHostUi ui;
    std::vector<DialogSeen> seen;
    ui.answerDialog([&](QDialog& dialog) {
        typeLogins(seen, {{"ADMIN", "qualquer"}})(dialog);
        dialog.findChild<QPushButton*>("btnCancelar")->click();
        return dialog.result();
    });
    host::SessionInfo session = sessionAt(closedPort);
    EXPECT_FALSE(app::LogInToServer(session));
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_TRUE(seen[1].mensagem.startsWith("Não foi possível conectar ao servidor 127.0.0.1:"))
        << seen[1].mensagem.toStdString();

    // Through the host: the cancelled login ends the start with nothing to explain.
    app::HostOptions options;
    options.serverHost = "127.0.0.1";
    options.serverPort = closedPort;
    app::HostApp host(options, KRV_BIN_DIR);
    ui.answerDialog([](QDialog&) { return int(QDialog::Rejected); });
    QString error = "não mudou";
    EXPECT_FALSE(host.start(error));
    EXPECT_EQ(error, "");
    EXPECT_EQ(host.window(), nullptr);
    EXPECT_TRUE(ui.allAnswersUsed());
    host::SetSession({});
}

// With no server configured the host says where to set one and starts the demo only if asked.
TEST(HostLogin, NoServerConfiguredOffersTheDemoAndStartsNothingWithoutIt) {
    test::ScriptedHostUi ui;
    app::HostOptions options;
    options.unconfigured = true;
    options.configFile = "/etc/krv/krv-cliente.conf";
    app::HostApp host(options, KRV_BIN_DIR);
    ui.answerModal(host::mrNo);
    QString error = "não mudou";
    EXPECT_FALSE(host.start(error));
    EXPECT_EQ(error, "");
    EXPECT_EQ(host.window(), nullptr);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].type, host::MsgDlgType::Confirmation);
    EXPECT_TRUE(
        ui.messages[0].text.startsWith("Nenhum servidor de aplicação configurado. Informe-o em "
                                       "/etc/krv/krv-cliente.conf"))
        << ui.messages[0].text.toStdString();
    EXPECT_TRUE(ui.messages[0].text.contains("krv-host --demo"));
}

TEST(HostLogin, CaFileAndTlsAddressOnTheCommandLine) {
    QTemporaryDir dir;
    QFile ca(dir.filePath("ca.pem"));
    ASSERT_TRUE(ca.open(QIODevice::WriteOnly));
    ca.close();
    QString error;
    const struct {
        QStringList args;
        bool tls;
        QString caFile;
        QString refusal;  // empty: accepted
    } cases[] = {
        {{"--server", "tls:servidor:7420"}, true, "", ""},
        {{"--server", "servidor:7420", "--ca", ca.fileName()}, true, ca.fileName(), ""},
        {{"--server", "servidor:7420"}, false, "", ""},
        {{"--server", "servidor:7420", "--ca", dir.filePath("falta.pem")}, false, "", "Não foi possível ler o arquivo"},
        {{"--ca", ca.fileName(), "--demo"}, false, "", "--ca vale apenas com --server"},
        {{"--server", "tls:servidor"}, false, "", "--server: Endereço inválido 'servidor'"},
    };
    for (const auto& c : cases) {
        const auto options = app::ParseHostOptions(QStringList{"krv-host"} + c.args, error);
        if (!c.refusal.isEmpty()) {
            EXPECT_FALSE(options) << c.args.join(' ').toStdString();
            EXPECT_TRUE(error.startsWith(c.refusal)) << error.toStdString();
            continue;
        }
        ASSERT_TRUE(options) << error.toStdString();
        EXPECT_EQ(options->serverHost, "servidor");
        EXPECT_EQ(options->tls, c.tls) << c.args.join(' ').toStdString();
        EXPECT_EQ(options->caFile, c.caFile);
        EXPECT_TRUE(options->asksLogin());
    }
}
