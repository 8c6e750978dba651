// The host's own server asks nothing: a random password kept in the data folder, given to
// `krv-server --cria-operador` on its stdin, then used to log in.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include "app/EmbeddedLogin.h"
#include "app/EmbeddedServer.h"
#include "rpc/Client.h"

using namespace krv;
using app::EmbeddedLogin;

namespace {

// A stand-in for krv-server that keeps its arguments and its stdin beside itself.
QString fakeServer(const QTemporaryDir& dir, int exitCode, const QString& complaint = "") {
    const QString path = dir.filePath("krv-server");
    QFile script(path);
    EXPECT_TRUE(script.open(QIODevice::WriteOnly));
    script.write(QString("#!/bin/sh\nprintf '%s\\n' \"$@\" > \"$0.args\"\ncat > \"$0.stdin\"\n"
                         "printf '%1' >&2\nexit %2\n")
                     .arg(complaint)
                     .arg(exitCode)
                     .toUtf8());
    script.close();
    script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return path;
}

QByteArray contentOf(const QString& path) {
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
    return file.readAll();
}

}  // namespace

TEST(EmbeddedLogin, PasswordMadeOnceReadableByTheUserAlone) {
    QTemporaryDir dir;
    QString error;
    const auto first = EmbeddedLogin::Password(dir.filePath("var"), error);
    ASSERT_TRUE(first) << error.toStdString();
    EXPECT_EQ(first->size(), 64);
    EXPECT_EQ(EmbeddedLogin::Password(dir.filePath("var"), error), first) << "kept across starts";
    EXPECT_NE(EmbeddedLogin::Password(dir.filePath("outra"), error), first) << "one per data folder";

    struct stat status {};
    ASSERT_EQ(::stat(QFile::encodeName(dir.filePath("var/operador.senha")).constData(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0600u);

    QFile emptied(dir.filePath("var/operador.senha"));
    ASSERT_TRUE(emptied.open(QIODevice::WriteOnly | QIODevice::Truncate));
    emptied.close();
    EXPECT_FALSE(EmbeddedLogin::Password(dir.filePath("var"), error));
    EXPECT_TRUE(error.contains("está vazio: apague-o")) << error.toStdString();
}

TEST(EmbeddedLogin, TheOperatorIsCreatedWithThePasswordOnStdinNeverInTheArguments) {
    QTemporaryDir dir;
    QString error;
    const QString ok = fakeServer(dir, 0);
    ASSERT_TRUE(EmbeddedLogin::CreateOperator(ok, "var/krv.db", "ADMIN", "segredo-aleatorio", error))
        << error.toStdString();
    EXPECT_EQ(contentOf(ok + ".args"),
              "--db\nvar/krv.db\n--cria-operador\nADMIN\n--papel\nadministrador\n--filiais\nT\n");
    EXPECT_EQ(contentOf(ok + ".stdin"), "segredo-aleatorio\n");

    QTemporaryDir other;
    const QString failing = fakeServer(other, 3, "banco travado");
    EXPECT_FALSE(EmbeddedLogin::CreateOperator(failing, "var/krv.db", "ADMIN", "segredo-aleatorio", error));
    EXPECT_EQ(error, "O servidor de aplicação não cadastrou o operador ADMIN (código 3): banco travado");
    EXPECT_FALSE(EmbeddedLogin::CreateOperator(dir.filePath("nada"), "var/krv.db", "ADMIN", "s", error));
    EXPECT_TRUE(error.startsWith("Não foi possível iniciar o servidor de aplicação")) << error.toStdString();
}

// The real server, once it knows --cria-operador: the host's operator then logs in.
TEST(EmbeddedLogin, TheRealServerAcceptsTheOperatorItWasGiven) {
    const QString program = QDir(KRV_BIN_DIR).filePath("krv-server");
    QProcess help;
    help.start(program, {"--help"});
    help.waitForFinished();
    if (!help.readAllStandardOutput().contains("--cria-operador"))
        GTEST_SKIP() << "krv-server does not create operators yet";

    QTemporaryDir dir;
    app::EmbeddedServer server;
    app::EmbeddedServer::Config config;
    config.program = program;
    config.dataDir = dir.filePath("var");
    QString error;
    ASSERT_TRUE(server.start(config, error)) << error.toStdString();
    const auto password = EmbeddedLogin::Password(config.dataDir, error);
    ASSERT_TRUE(password) << error.toStdString();
    ASSERT_TRUE(EmbeddedLogin::CreateOperator(program, app::EmbeddedServer::DatabasePath(config.dataDir), "ADMIN",
                                              *password, error))
        << error.toStdString();

    rpc::Endpoint endpoint{"127.0.0.1", uint16_t(server.port())};
    endpoint.operatorName = "ADMIN";
    endpoint.password = password->toStdString();
    rpc::Client client;
    client.connect(endpoint);
    EXPECT_TRUE(client.connected());
    endpoint.password += "x";
    EXPECT_THROW(client.connect(endpoint), rpc::ELoginRefused);
}
