#include "app/ServerLogin.h"

#include "host/dialogs/TfrmLogin.h"
#include "host/session/NetConnection.h"
#include "rpc/Client.h"

namespace krv::app {

bool LogInToServer(host::SessionInfo& session) {
    // Only the check's thread touches the session while the dialog waits for it.
    const host::LoginCheck check = [&session](const host::OperatorLogin& login) -> QString {
        session.operador = login.operador;
        session.password = login.senha;
        host::SetSession(session);
        try {
            host::SessionConnection().SetConnected(true);
            return {};
        } catch (const rpc::ELoginRefused&) {
            return "Operador ou senha inválidos.";
        } catch (const ENetError& e) {
            return QString::fromUtf8(e.what());
        }
    };
    const QString servidor = QString("%1:%2").arg(session.host).arg(session.port);
    return host::AskOperatorLogin(session.operador, QString(), servidor, check).has_value();
}

}  // namespace krv::app
