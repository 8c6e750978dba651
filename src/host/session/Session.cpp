#include "host/session/Session.h"

#include "core/Errors.h"
#include "host/models/Convert.h"
#include "host/session/Access.h"
#include "host/session/DBPicture.h"
#include "host/session/NetConnection.h"
#include "host/session/ServerOutcome.h"

namespace krv::host {

namespace {

SessionInfo& session() {
    static SessionInfo current;
    return current;
}

}  // namespace

void SetSession(const SessionInfo& info) {
    session() = info;
    SessionConnection().SetConnected(false);
    InvalidateDBPictures();
    ForgetAccess();
}

const SessionInfo& CurrentSession() { return session(); }

QString FiliProc() { return session().filial; }
QString Operador() { return session().operador; }
QString WebURL() { return session().host; }
int WebPort() { return session().port; }

TNetConnection& SessionConnection() {
    static TNetConnection* connection = [] {
        auto* net = new TNetConnection();  // lives as long as the process
        net->ServerName = "Host.rdmSessao";
        net->BeforeConnect = [](TNetConnection& c) {
            c.Host = WebURL();
            c.Port = WebPort();
            c.Token = session().token;
        };
        return net;
    }();
    return *connection;
}

DateTime DataProc(const QString& branch) {
    const Variant payload = ServerPayload(SessionConnection().Call("DataProc", {branch}));
    if (payload.type() != Variant::Type::DateTime) throw EServerError("Resposta inválida do servidor");
    return payload.asDateTime();
}

QDate DataProcDate(const QString& branch) { return ToQDate(DataProc(branch)); }

}  // namespace krv::host
