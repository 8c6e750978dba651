// "Ver Previsão": the logistic operator's forecast of the period, in a window of its own.
#include "host/screens/Consiste.h"
#include "requisition/TfrmPedReq.h"
#include "requisition/TfrmPrevisao.h"

namespace krv::requisition {

using namespace krv::host;

// Asked each time an operator is chosen; a period not yet valid has no forecast to show.
bool TfrmPedReq::existePrevisao() {
    if (depDataInic->IsEmpty() || depDataFina->IsEmpty() || depDataFina->GetDate() < depDataInic->GetDate())
        return false;
    return CheckResultServ(netPedReq.Call("ExistePrevisaoConsumo",
                                          {medCdFilial->text(), depDataInic->GetDate(), depDataFina->GetDate()}),
                           true, 0)
        .asBool();
}

// The forecast button is the mode: only an operator's found branch has a forecast to offer.
void TfrmPedReq::atualizaVerPrevisao() {
    if (!filtro.boFilialValidada || !sbtCalcPrevCons->isEnabled()) return;
    sbtVerPrevisao->setEnabled(existePrevisao());
}

void TfrmPedReq::sbtVerPrevisaoClick(QObject*) {
    VdFilial(true);
    VdPeriodo();
    auto* janela =
        new TfrmPrevisao(netPedReq, {medCdFilial->text(), depDataInic->GetDate(), depDataFina->GetDate()}, this);
    janela->setAttribute(Qt::WA_DeleteOnClose);
    janela->setWindowFlag(Qt::Window);
    janela->show();
}

}  // namespace krv::requisition
