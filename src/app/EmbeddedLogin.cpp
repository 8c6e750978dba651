#include "app/EmbeddedLogin.h"

#include <fcntl.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <cerrno>
#include <cstring>

namespace krv::app {

namespace {

constexpr int kRandomBytes = 32;

QString randomPassword() {
    QByteArray bytes(kRandomBytes, Qt::Uninitialized);
    QRandomGenerator::system()->generate(bytes.begin(), bytes.end());
    return QString::fromLatin1(bytes.toHex());
}

// Made with O_EXCL and mode 0600 at once: no moment in which another user could read it,
// and a host starting beside this one keeps the file the first one wrote.
bool createPasswordFile(const QString& path, QString& error) {
    const QByteArray name = QFile::encodeName(path);
    const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) {
        if (errno == EEXIST) return true;
        error = QString("Não foi possível criar o arquivo de senha %1: %2").arg(path, std::strerror(errno));
        return false;
    }
    const QByteArray content = randomPassword().toLatin1() + "\n";
    const bool written = ::write(fd, content.constData(), size_t(content.size())) == content.size();
    const int writeErrno = errno;
    ::close(fd);
    if (written) return true;
    ::unlink(name.constData());
    error = QString("Não foi possível gravar o arquivo de senha %1: %2").arg(path, std::strerror(writeErrno));
    return false;
}

}  // namespace

std::optional<QString> EmbeddedLogin::Password(const QString& dataDir, QString& error) {
    if (!QDir().mkpath(dataDir)) {
        error = QString("Não foi possível criar a pasta de dados '%1'.").arg(dataDir);
        return std::nullopt;
    }
    const QString path = QDir(dataDir).filePath(kPasswordFileName);
    if (!createPasswordFile(path, error)) return std::nullopt;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        error = QString("Não foi possível ler o arquivo de senha %1: %2").arg(path, file.errorString());
        return std::nullopt;
    }
    const QString password = QString::fromUtf8(file.readLine()).trimmed();
    if (password.isEmpty()) {
        error = QString("O arquivo de senha %1 está vazio: apague-o para que o host crie outro.").arg(path);
        return std::nullopt;
    }
    return password;
}

QStringList EmbeddedLogin::CreateOperatorArguments(const QString& database, const QString& operador) {
    // The host's own operator may do everything, so the screen opens with no question.
    return {"--db", database, "--cria-operador", operador, "--papel", "administrador", "--filiais", "T"};
}

bool EmbeddedLogin::CreateOperator(const QString& program, const QString& database, const QString& operador,
                                   const QString& password, QString& error, int timeoutMs) {
    QProcess process;
    process.setProcessChannelMode(QProcess::SeparateChannels);
    process.start(program, CreateOperatorArguments(database, operador));
    if (!process.waitForStarted(timeoutMs)) {
        error = QString("Não foi possível iniciar o servidor de aplicação %1: %2").arg(program, process.errorString());
        return false;
    }
    process.write(password.toUtf8() + "\n");
    process.closeWriteChannel();
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished();
        error = QString("O servidor de aplicação não cadastrou o operador %1 em %2 segundos.")
                    .arg(operador)
                    .arg(timeoutMs / 1000.0);
        return false;
    }
    if (process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0) return true;
    const QString why = QString::fromUtf8(process.readAllStandardError()).trimmed();
    error = QString("O servidor de aplicação não cadastrou o operador %1 (código %2)%3")
                .arg(operador)
                .arg(process.exitCode())
                .arg(why.isEmpty() ? QString(".") : ": " + why);
    return false;
}

}  // namespace krv::app
