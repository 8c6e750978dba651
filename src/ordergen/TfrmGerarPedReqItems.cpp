// The items of the current requisition, and why each has its quantity (double-click or Enter).
#include "ordergen/TfrmGerarPedReq.h"
#include "ordergen/TfrmItensRequisicao.h"
#include "requisition/Cli_krv52000.h"
#include "requisition/TfrmPedReq.h"

namespace krv::ordergen {

void TfrmGerarPedReq::abreItensRequisicao() {
    if (cdsRequisicoes.IsEmpty()) return;
    const auto text = [&](const char* field) {
        return QString::fromStdString(cdsRequisicoes.FieldByName(field).AsString());
    };
    const QString descricao = text("CDSERVFILI") + " " + text("NMSERVICO") + ", turno " + text("NMTURNO") + ", " +
                              text("DTREQUIPEDIDO_PESQ") + ", " + text("NMSUBGRPROD");
    auto* janela = new TfrmItensRequisicao(
        frmPedReq->netPedReq, int64_t(cdsRequisicoes.FieldByName("NRREQUIPEDIDO").AsFloat()), descricao, this);
    janela->setAttribute(Qt::WA_DeleteOnClose);
    janela->open();
}

}  // namespace krv::ordergen
