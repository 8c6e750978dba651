// "Pedidos Gerados": the current order received, and its current line explained.
#include "host/dialogs/HostUi.h"
#include "host/models/Convert.h"
#include "host/session/Access.h"
#include "host/session/Session.h"
#include "ordergen/TfrmExplicaLinhaPedido.h"
#include "ordergen/TfrmPedidos.h"
#include "ordergen/TfrmReceberPedido.h"

namespace krv::ordergen {

using namespace krv::host;

namespace {

// "0001 Cozinha Central, entrega 07/12/2026"
QString DescricaoPedido(TClientDataSet& pedidos) {
    return QString::fromStdString(pedidos.FieldByName("CDFILIAL").AsString() + " " +
                                  pedidos.FieldByName("NMFILIAL").AsString() + ", entrega " +
                                  pedidos.FieldByName("DTPEDIDO").AsDateTime().toBr());
}

}  // namespace

void TfrmPedidos::habilitaReceber() {
    const std::string situacao = cdsPedidos.IsEmpty() ? "" : cdsPedidos.FieldByName("IDSITUACAO").AsString();
    // The role's refusal, when it has one, keeps the button off whatever this says.
    sbtReceber->setEnabled(situacao == "A" || situacao == "E");
}

void TfrmPedidos::sbtReceberClick() {
    if (cdsPedidos.IsEmpty()) return;
    const int64_t pedido = cdsPedidos.FieldByName("NRPEDEXOL").Value().asInt();
    TfrmReceberPedido dialogo(net, pedido, DescricaoPedido(cdsPedidos), cdsItensPedido.Data(), DataProcDate(FiliProc()),
                              this);
    if (HostUi::instance().execDialog(dialogo) != QDialog::Accepted) return;
    alterados = true;  // the order screen's list reads it again
    sbtAtualizarClick();
    HostUi::instance().showStatus(dialogo.Recebido());
}

void TfrmPedidos::sbtExplicarLinhaClick() {
    if (cdsPedidos.IsEmpty() || cdsItensPedido.IsEmpty()) return;
    TfrmExplicaLinhaPedido janela(net, cdsPedidos.FieldByName("NRPEDEXOL").Value().asInt(),
                                  cdsItensPedido.FieldByName("CDPRODUTO").Value(),
                                  QString::fromStdString(cdsItensPedido.FieldByName("NMPRODUTO").AsString()), this);
    HostUi::instance().execDialog(janela);
}

}  // namespace krv::ordergen
