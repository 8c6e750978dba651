// The orders window from the order-generation screen: the requisition screen's branch and
// period, the orders of the last generation selected.
#include <QStyle>

#include "host/controls/ToolButtons.h"
#include "host/events/EventHelpers.h"
#include "ordergen/TfrmGerarPedReq.h"
#include "ordergen/TfrmPedidos.h"
#include "requisition/Cli_krv52000.h"
#include "requisition/TfrmPedReq.h"

namespace krv::ordergen {

using namespace krv::host;

void TfrmGerarPedReq::connectPedidos() {
    auto* botao = new TButtonFlat(this);
    botao->setObjectName("sbtPedidos");
    botao->setText(QString::fromUtf8("Pedidos"));
    botao->setToolTip(QString::fromUtf8("Pedidos Gerados (F9)"));
    botao->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    botao->setIconSize(QSize(24, 24));
    botao->setIcon(style()->standardIcon(QStyle::SP_FileDialogDetailedView));
    AddMenuButton(botao);
    SetShortcut(botao, Qt::Key_F9, this);
    ConnectGuarded(botao, &QAbstractButton::clicked, this, [this](bool) { abrePedidos(); });
}

void TfrmGerarPedReq::abrePedidos() {
    requisition::TfrmPedReq& pedReq = *frmPedReq;
    TfrmPedidos::Abre(pedReq.netPedReq, pedReq.medCdFilial->text(), pedReq.depDataInic->GetDate(),
                      pedReq.depDataFina->GetDate(), this, primeiroGerado, ultimoGerado);
}

}  // namespace krv::ordergen
