// Cancelling orders: the orders of the selected rows are cancelled on the server, which frees
// their requisitions to be ordered or recalculated again, and the list is reloaded.
#include <algorithm>

#include "core/Errors.h"
#include "host/events/EventHelpers.h"
#include "host/dialogs/HostUi.h"
#include "host/models/Convert.h"
#include "host/screens/Consiste.h"
#include "host/session/Session.h"
#include "ordergen/TfrmGerarPedReq.h"
#include "requisition/Cli_krv52000.h"
#include "requisition/TfrmPedReq.h"

namespace krv::ordergen {

using namespace krv::host;

namespace {

// The server refuses an order that is not of the branch sent with it: with "Todos" the list
// shows orders of many branches, so each goes with the branch of its own requisitions.
QString ChavePedidos(const QStringList& numeros) { return "_" + numeros.join('_') + "_"; }

}  // namespace

void TfrmGerarPedReq::sbtCancelaPedidoClick(QObject*) {
    // Each order's branch is read from the list before the question, so a "Sim" is not
    // answered by a refusal of the branch.
    const PedidosSelecionados selecionados = pedidosSelecionados();
    const QStringList& numeros = selecionados.numeros;
    if (numeros.empty()) MensErro(msgPadrao.Msg("N_HA_PEDIDO_MARCADO"), true);
    const QString quais = (numeros.size() == 1 ? "o pedido " : "os pedidos ") + numeros.join(", ");
    if (HostUi::instance().messageDlg(msgPadrao.Msg("CONF_CANCELAMENTO").arg(quais), MsgDlgType::Confirmation,
                                      mbYes | mbNo) != mrYes)
        return;
    qlonglong pedidos = 0, requisicoes = 0;
    try {
        for (const PedidosDaFilial& g : selecionados.porFilial) {
            const Variant feitos = WithBusy([&] {
                return CheckResultServ(
                    frmPedReq->netPedReq.Call("CancelaPedido", {ChavePedidos(g.numeros), Operador(), g.filial}), true,
                    0);
            });
            if (feitos.type() != Variant::Type::Array || feitos.array().size() < 2)
                throw EServerError("Resposta inválida do servidor");
            pedidos += feitos.array()[0].asInt();
            requisicoes += feitos.array()[1].asInt();
        }
    } catch (...) {
        // A branch refused after others were cancelled: the list shows what did change.
        if (pedidos > 0) Guard([this] { getRequisicoes(); });
        throw;
    }
    HostUi::instance().messageDlg(msgPadrao.Msg("CANCELAMENTO_CONCLUIDO").arg(pedidos).arg(requisicoes),
                                  MsgDlgType::Information, mbOK);
    getRequisicoes();
}

// Read on a copy of the list, so that the grid's cursor stays put. An order made for several
// branches is sent with the branch of its first row: any of its requisitions' branches is its.
TfrmGerarPedReq::PedidosSelecionados TfrmGerarPedReq::pedidosSelecionados() {
    PedidosSelecionados selecionados;
    std::vector<PedidosDaFilial>& grupos = selecionados.porFilial;
    QStringList& vistos = selecionados.numeros;
    const auto junta = [&](TClientDataSet& ds) {
        const QString numero = ToQString(ds.FieldByName("NRPEDEXOL").AsString()).trimmed();
        if (numero.isEmpty() || vistos.contains(numero)) return;
        vistos << numero;
        const QString filial = ToQString(ds.FieldByName("CDFILIAL").AsString()).trimmed();
        auto grupo = std::find_if(grupos.begin(), grupos.end(), [&](const auto& g) { return g.filial == filial; });
        if (grupo == grupos.end()) grupo = grupos.insert(grupos.end(), PedidosDaFilial{filial, {}});
        grupo->numeros << numero;
    };
    TClientDataSet copia;
    copia.SetData(cdsRequisicoes.Data());
    copia.SetFilter("NRPEDEXOL IS NOT NULL AND IDMARCADO = 'S'");
    copia.SetFiltered(true);
    for (copia.First(); !copia.Eof(); copia.Next()) junta(copia);
    if (vistos.isEmpty() && !cdsRequisicoes.IsEmpty()) junta(cdsRequisicoes);
    return selecionados;
}

}  // namespace krv::ordergen
