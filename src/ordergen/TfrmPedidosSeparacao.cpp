// The logistic operator's pick list (KRV522) from "Pedidos Gerados": a check box beside the
// report buttons turns them to the pick list of the branch and period of the filter.
#include <QCheckBox>

#include "ordergen/TfrmPedidos.h"

namespace krv::ordergen {

void TfrmPedidos::connectSeparacao() {
    chbSeparacao = new QCheckBox(QString::fromUtf8("Lista de separação"), this);
    chbSeparacao->setObjectName("chbSeparacao");
    chbSeparacao->setToolTip(
        QString::fromUtf8("Imprimir, visualizar e salvar a lista de separação (KRV522) do "
                          "operador logístico no período, em vez dos pedidos"));
    AddToolButton(chbSeparacao);
    connect(chbSeparacao, &QCheckBox::toggled, this, [this](bool) { chbSeparacaoClick(); });
}

void TfrmPedidos::chbSeparacaoClick() {
    lblCodRel->setText(chbSeparacao->isChecked() ? "KRV522" : ContentArea()->property("lblCodRel").toString());
    rpddPadrao.ReportCode = lblCodRel->text();
    chbQuebraPagina->setEnabled(!chbSeparacao->isChecked());
}

}  // namespace krv::ordergen
