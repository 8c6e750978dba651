// The items of the current requisition, and why each has its quantity (double-click or Enter).
#include "host/models/Convert.h"
#include "ordergen/TfrmGerarPedReq.h"
#include "ordergen/TfrmItensRequisicao.h"
#include "requisition/Cli_krv52000.h"
#include "requisition/TfrmPedReq.h"

namespace krv::ordergen {

using namespace krv::host;

void TfrmGerarPedReq::abreItensRequisicao() {
    if (cdsRequisicoes.IsEmpty()) return;
    const auto text = [&](const char* field) {
        return QString::fromStdString(cdsRequisicoes.FieldByName(field).AsString());
    };
    // With "Todos" the list holds many kitchens' requisitions: the header says whose it is.
    const QString filial = text("CDFILIAL");
    const QString descricao = "filial " + (filial + " " + nomeFilial(filial)).trimmed() + ", " + text("CDSERVFILI") +
                              " " + text("NMSERVICO") + ", turno " + text("NMTURNO") + ", " +
                              text("DTREQUIPEDIDO_PESQ") + ", " + text("NMSUBGRPROD");
    auto* janela = new TfrmItensRequisicao(
        frmPedReq->netPedReq, int64_t(cdsRequisicoes.FieldByName("NRREQUIPEDIDO").AsFloat()), descricao, this);
    janela->setAttribute(Qt::WA_DeleteOnClose);
    janela->open();
}

// The requisition screen's own branch is named there; any other is looked up once in the
// list of every branch.
QString TfrmGerarPedReq::nomeFilial(const QString& codigo) {
    const requisition::TfrmPedReq& pedReq = *frmPedReq;
    if (codigo == pedReq.medCdFilial->text()) return pedReq.edtNmFilial->text();
    if (cdsListaFilial.IsEmpty()) getFilial(cdsListaFilial);
    if (!cdsListaFilial.Locate("CDFILIAL", ToVariant(codigo))) return QString();
    return ToQString(cdsListaFilial.FieldByName("NMFILIAL").AsString());
}

}  // namespace krv::ordergen
