// The orders window from the order-generation screen: the requisition screen's branch and
// period, the orders of the last generation selected.
#include <QPushButton>

#include "host/controls/ToolButtons.h"
#include "host/events/EventHelpers.h"
#include "ordergen/TfrmGerarPedReq.h"
#include "ordergen/TfrmPedidos.h"
#include "requisition/Cli_krv52000.h"
#include "requisition/TfrmPedReq.h"

namespace krv::ordergen {

using namespace krv::host;

void TfrmGerarPedReq::connectPedidos() {
    auto* botao = new QPushButton(QString::fromUtf8("Pedidos Gerados (F9)"), this);
    botao->setObjectName("sbtPedidos");
    botao->setFocusPolicy(Qt::NoFocus);
    if (QLayout* layout = sbtCancelaPedido->parentWidget()->layout())
        layout->addWidget(botao);
    else
        botao->move(sbtCancelaPedido->geometry().right() + 8, sbtCancelaPedido->y());
    ConnectGuarded(botao, &QAbstractButton::clicked, this, [this](bool) { abrePedidos(); });
    SetShortcut(botao, Qt::Key_F9, this);
}

void TfrmGerarPedReq::abrePedidos() {
    requisition::TfrmPedReq& pedReq = *frmPedReq;
    TfrmPedidos::Abre(pedReq.netPedReq, pedReq.medCdFilial->text(), pedReq.depDataInic->GetDate(),
                      pedReq.depDataFina->GetDate(), this, primeiroGerado, ultimoGerado);
}

}  // namespace krv::ordergen
