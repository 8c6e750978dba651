#include "app/ServerLogin.h"

#include "host/dialogs/TfrmLogin.h"
#include "host/session/NetConnection.h"
#include "rpc/Client.h"

namespace krv::app {

bool LogInToServer(host::SessionInfo& session) {
    QString mensagem;
    for (;;) {
        const std::optional<host::OperatorLogin> login = host::AskOperatorLogin(session.operador, mensagem);
        if (!login) return false;
        session.operador = login->operador;
        session.password = login->senha;
        host::SetSession(session);
        try {
            host::SessionConnection().SetConnected(true);
            return true;
        } catch (const rpc::ELoginRefused&) {
            mensagem = "Operador ou senha inválidos.";
        } catch (const ENetError& e) {
            mensagem = QString::fromUtf8(e.what());
        }
    }
}

}  // namespace krv::app
