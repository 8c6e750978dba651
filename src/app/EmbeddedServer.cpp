#include "app/EmbeddedServer.h"

#include <signal.h>
#include <sys/prctl.h>

#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <cstdio>

#include "app/HostOptions.h"

namespace krv::app {

EmbeddedServer::~EmbeddedServer() { stop(); }

bool EmbeddedServer::ParseAnnouncement(const QString& line, QString& host, int& port) {
    static const QRegularExpression re("^krv-server escutando em (\\S+)$");
    const auto m = re.match(line.trimmed());
    return m.hasMatch() && SplitServerAddress(m.captured(1), host, port);
}

QString EmbeddedServer::DatabasePath(const QString& dataDir) { return QDir(dataDir).filePath("krv.db"); }

QStringList EmbeddedServer::Arguments(const Config& config) {
    QStringList args{"--db", DatabasePath(config.dataDir), "--listen", "127.0.0.1:0", "--seed", "demo"};
    if (!config.tokenFile.isEmpty()) args << "--token-file" << config.tokenFile;
    return args;
}

bool EmbeddedServer::start(const Config& config, QString& error) {
    if (running()) {
        error = "O servidor de aplicação já está em execução.";
        return false;
    }
    if (!QFileInfo(config.program).isExecutable()) {
        error = QString("Servidor de aplicação não encontrado: %1").arg(config.program);
        return false;
    }
    if (!QDir().mkpath(config.dataDir)) {
        error = QString("Não foi possível criar a pasta de dados '%1'.").arg(config.dataDir);
        return false;
    }
    // stderr stays separate so that a failure can be explained with the server's own words.
    process_.setProcessChannelMode(QProcess::SeparateChannels);
    // Should the host die without stopping it, the server goes with it instead of holding
    // the database and a port for nobody.
    process_.setChildProcessModifier([] { prctl(PR_SET_PDEATHSIG, SIGTERM); });
    process_.start(config.program, Arguments(config));
    if (!process_.waitForStarted(config.startTimeoutMs)) {
        error = QString("Não foi possível iniciar o servidor de aplicação %1: %2")
                    .arg(config.program, process_.errorString());
        return false;
    }
    QString line;
    if (!waitForFirstLine(config.startTimeoutMs, line, error)) {
        stop();
        return false;
    }
    if (!ParseAnnouncement(line, host_, port_)) {
        error = QString("Resposta inesperada do servidor de aplicação ao iniciar: '%1'").arg(line);
        stop();
        return false;
    }
    forwardOutput();
    return true;
}

// Whatever the server writes later goes to the host's own stderr as it comes; left unread,
// it would pile up in the host's memory for as long as the host runs.
void EmbeddedServer::forwardOutput() {
    auto forward = [this](QByteArray bytes) {
        for (const QByteArray& line : bytes.split('\n'))
            if (!line.isEmpty()) std::fprintf(stderr, "krv-server: %s\n", line.constData());
    };
    QObject::connect(&process_, &QProcess::readyReadStandardOutput,
                     [this, forward] { forward(process_.readAllStandardOutput()); });
    QObject::connect(&process_, &QProcess::readyReadStandardError,
                     [this, forward] { forward(process_.readAllStandardError()); });
    forward(process_.readAllStandardOutput() + process_.readAllStandardError());
}

bool EmbeddedServer::waitForFirstLine(int timeoutMs, QString& line, QString& error) {
    QDeadlineTimer deadline(timeoutMs);
    while (!process_.canReadLine()) {
        if (process_.state() == QProcess::NotRunning) {
            const QString why = QString::fromUtf8(process_.readAllStandardError()).trimmed();
            error = QString("O servidor de aplicação terminou ao iniciar (código %1)%2")
                        .arg(process_.exitCode())
                        .arg(why.isEmpty() ? QString(".") : ": " + why);
            return false;
        }
        if (deadline.hasExpired()) {
            error = QString("O servidor de aplicação não respondeu em %1 segundos.").arg(timeoutMs / 1000.0);
            return false;
        }
        // More output, the end of the process or the deadline wakes us; each is checked above.
        process_.waitForReadyRead(int(deadline.remainingTime()));
    }
    line = QString::fromUtf8(process_.readLine());
    return true;
}

void EmbeddedServer::stop() {
    if (process_.state() == QProcess::NotRunning) return;
    process_.terminate();
    if (!process_.waitForFinished(5000)) {
        process_.kill();
        process_.waitForFinished(2000);
    }
}

}  // namespace krv::app
