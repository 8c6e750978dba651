#pragma once
#include <QString>
#include <QStringList>
#include <map>

class QWidget;

namespace krv::host {

// What the session's operator may do, as the server says ("Host.rdmSessao".GetAcesso): its
// role, the branches it answers for (empty: all) and, per action it may not do, the
// server's refusal. Asked once per session; a server that cannot say allows everything, and
// still refuses on its own what it must.
struct SessionAccess {
    QString role;
    QStringList branches;
    std::map<QString, QString> refused;  // action words ("gerar pedidos") -> refusal
};
const SessionAccess& CurrentAccess();
void ForgetAccess();  // at every new session

// The words the server names the screens' actions with.
inline constexpr const char* kCalcularRequisicoes = "calcular requisições";
inline constexpr const char* kSelecionarParaPedidos = "selecionar requisições para pedidos";
inline constexpr const char* kGerarPedidos = "gerar pedidos";
inline constexpr const char* kCancelarPedidos = "cancelar pedidos";
inline constexpr const char* kCalcularPrevisao = "calcular a previsão de consumo";
inline constexpr const char* kConsultarPrevisao = "consultar a previsão de consumo";
inline constexpr const char* kCalcularFiliais = "calcular requisições de várias filiais";
inline constexpr const char* kConsultarRequisicoes = "consultar requisições";
inline constexpr const char* kConsultarPedidos = "consultar pedidos";
inline constexpr const char* kMarcarEnviados = "marcar pedidos como enviados";
inline constexpr const char* kEmitirSeparacao = "emitir listas de separação";
inline constexpr const char* kReceberPedidos = "receber pedidos";
inline constexpr const char* kRegistrarContagens = "registrar contagens de estoque";

// The server's refusal of the action for this session's role; empty when it may.
QString Refusal(const QString& action);

}  // namespace krv::host
