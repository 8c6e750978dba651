// krv-report from a shell logs in as the operator it names; the password comes from the
// environment or a file, and a wrong one is a clear failure.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include "LoginAcceptor.h"

using namespace krv;

namespace {

struct ReportRun {
    int exitCode = -1;
    QString errors;
};

ReportRun runReport(const QStringList& args, const QString& password) {
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove("KRV_SENHA");
    if (!password.isNull()) environment.insert("KRV_SENHA", password);
    process.setProcessEnvironment(environment);
    process.start(QDir(KRV_BIN_DIR).filePath("krv-report"), args);
    process.waitForFinished(60000);
    return {process.exitCode(), QString::fromUtf8(process.readAllStandardError())};
}

QString fileHolding(const QTemporaryDir& dir, const QString& name, const QByteArray& content) {
    QFile file(dir.filePath(name));
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(content);
    return file.fileName();
}

}  // namespace

TEST(ReportLogin, TheNamedOperatorLogsInAndAWrongPasswordSaysSo) {
    rpc::test::LoginAcceptor server([](const Variant&) { return false; });
    QTemporaryDir dir;
    const QString token = fileHolding(dir, "token", "ficha\n");
    const QString passwordFile = fileHolding(dir, "senha", "do arquivo\n");
    const QStringList base{"--server", QString("127.0.0.1:%1").arg(server.port()),
                           "--filial", "0001",
                           "--de",     "01/12/2026",
                           "--ate",    "07/12/2026",
                           "--saida",  dir.filePath("r.pdf")};
    const struct {
        QStringList args;
        QString password;  // KRV_SENHA; null: unset
        int exitCode;
        QString says;
    } cases[] = {
        {{"--operador", "ANA"}, "do ambiente", 1, "recusou o operador ou a senha"},
        {{"--operador", "BIA", "--senha-arquivo", passwordFile}, "do ambiente", 1, "recusou o operador ou a senha"},
        {{"--operador", "CAIO", "--token-file", token}, "do ambiente", 1, "recusou o token de acesso"},
        {{"--operador", "ANA"}, {}, 2, "KRV_SENHA ou com --senha-arquivo"},
        {{"--senha", "do ambiente"}, {}, 2, "Opção desconhecida 'senha'"},
    };
    for (const auto& c : cases) {
        const ReportRun run = runReport(base + c.args, c.password);
        EXPECT_EQ(run.exitCode, c.exitCode) << c.args.join(' ').toStdString();
        EXPECT_TRUE(run.errors.contains(c.says)) << run.errors.toStdString();
        EXPECT_FALSE(run.errors.contains("do ambiente")) << run.errors.toStdString();
        EXPECT_FALSE(QFile::exists(dir.filePath("r.pdf")));
    }
    const std::vector<Variant> frames{Variant::Array{"auth", "ANA", "do ambiente"},
                                      Variant::Array{"auth", "BIA", "do arquivo"}, Variant::Array{"auth", "ficha"}};
    EXPECT_EQ(server.firstFrames(), frames);
}
