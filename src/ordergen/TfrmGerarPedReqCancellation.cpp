// Cancelling orders: the orders of the selected rows are cancelled on the server, which frees
// their requisitions to be ordered or recalculated again, and the list is reloaded.
#include "core/Errors.h"
#include "host/dialogs/HostUi.h"
#include "host/models/Convert.h"
#include "host/screens/Consiste.h"
#include "host/session/Session.h"
#include "ordergen/TfrmGerarPedReq.h"
#include "requisition/Cli_krv52000.h"
#include "requisition/TfrmPedReq.h"

namespace krv::ordergen {

using namespace krv::host;

void TfrmGerarPedReq::sbtCancelaPedidoClick(QObject*) {
    const QString pedidos = pedidosSelecionados();
    if (pedidos.isEmpty()) MensErro(msgPadrao.Msg("N_HA_PEDIDO_MARCADO"), true);
    const QStringList numeros = pedidos.mid(1, pedidos.size() - 2).split('_');
    const QString quais = (numeros.size() == 1 ? "o pedido " : "os pedidos ") + numeros.join(", ");
    if (HostUi::instance().messageDlg(msgPadrao.Msg("CONF_CANCELAMENTO").arg(quais), MsgDlgType::Confirmation,
                                      mbYes | mbNo) != mrYes)
        return;
    requisition::TfrmPedReq& pedReq = *frmPedReq;
    const Variant feitos = WithBusy([&] {
        return CheckResultServ(
            pedReq.netPedReq.Call("CancelaPedido", {pedidos, Operador(), pedReq.medCdFilial->text()}), true, 0);
    });
    if (feitos.type() != Variant::Type::Array || feitos.array().size() < 2)
        throw EServerError("Resposta inválida do servidor");
    HostUi::instance().messageDlg(
        msgPadrao.Msg("CANCELAMENTO_CONCLUIDO").arg(ToQString(feitos.array()[0]), ToQString(feitos.array()[1])),
        MsgDlgType::Information, mbOK);
    getRequisicoes();
}

// Read on a copy of the list, so that the grid's cursor stays put.
QString TfrmGerarPedReq::pedidosSelecionados() {
    QStringList pedidos;
    const auto junta = [&](const std::string& pedido) {
        const QString numero = ToQString(pedido).trimmed();
        if (!numero.isEmpty() && !pedidos.contains(numero)) pedidos << numero;
    };
    TClientDataSet copia;
    copia.SetData(cdsRequisicoes.Data());
    copia.SetFilter("NRPEDEXOL IS NOT NULL AND IDMARCADO = 'S'");
    copia.SetFiltered(true);
    for (copia.First(); !copia.Eof(); copia.Next()) junta(copia.FieldByName("NRPEDEXOL").AsString());
    if (pedidos.isEmpty() && !cdsRequisicoes.IsEmpty()) junta(cdsRequisicoes.FieldByName("NRPEDEXOL").AsString());
    return pedidos.isEmpty() ? QString() : "_" + pedidos.join('_') + "_";
}

}  // namespace krv::ordergen
