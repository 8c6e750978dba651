#pragma once
#include <QProcess>
#include <QString>
#include <QStringList>

namespace krv::app {

// A krv-server child process started for this host alone: it listens on a free loopback
// port that it announces on its first stdout line, and it is stopped with the host.
class EmbeddedServer {
public:
    struct Config {
        QString program;    // path of krv-server
        QString dataDir;    // created when missing; the database is DATA_DIR/krv.db
        QString tokenFile;  // passed on when set
        int startTimeoutMs = 15000;
    };

    EmbeddedServer() = default;
    ~EmbeddedServer();
    EmbeddedServer(const EmbeddedServer&) = delete;
    EmbeddedServer& operator=(const EmbeddedServer&) = delete;

    // Starts the process and waits for its announcement. Returns false with a Portuguese
    // explanation in `error` (program missing, exited early, silent past the time-out,
    // an unexpected first line); the process is then already stopped.
    bool start(const Config& config, QString& error);
    void stop();  // SIGTERM, then kill if it does not end in a few seconds
    bool running() const { return process_.state() != QProcess::NotRunning; }

    QString host() const { return host_; }
    int port() const { return port_; }

    // The first stdout line krv-server writes once it is bound; false if `line` is not it.
    static bool ParseAnnouncement(const QString& line, QString& host, int& port);
    static QStringList Arguments(const Config& config);
    static QString DatabasePath(const QString& dataDir);

private:
    bool waitForFirstLine(int timeoutMs, QString& line, QString& error);
    void forwardOutput();

    QProcess process_;
    QString host_;
    int port_ = 0;
};

}  // namespace krv::app
