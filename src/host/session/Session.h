#pragma once
#include <QDate>
#include <QString>
#include <QStringList>

#include "core/DateTime.h"

namespace krv::host {

class TNetConnection;

// Who is working, where, and which application server serves them. The host application
// sets it once at start-up; everything else only reads it.
struct SessionInfo {
    QString filial;    // current branch code
    QString operador;  // operator code
    QString host;      // application server address
    int port = 0;
    QString token;  // shared token of the server; empty = none
    // Set: every connection logs in as `operador` with it, and the token is not sent.
    QString password;
    bool tls = false;
    QString caFile;  // with tls: the CA the server's certificate is checked against
    // Further servers on the same database ("HOST:PORT" each): a connection to host:port
    // moves to them when it is lost.
    QStringList moreServers;
};

// Replaces the session. The session's own connection is closed, so its next call goes to
// the new server, and cached code pictures are asked again.
void SetSession(const SessionInfo& session);
const SessionInfo& CurrentSession();

QString FiliProc();
QString Operador();
QString WebURL();
int WebPort();

// Processing date of a branch, asked of "Host.rdmSessao". Throws EServerError or ENetError.
DateTime DataProc(const QString& branch);
QDate DataProcDate(const QString& branch);

// The connection to "Host.rdmSessao", whose endpoint follows the session.
TNetConnection& SessionConnection();

}  // namespace krv::host
