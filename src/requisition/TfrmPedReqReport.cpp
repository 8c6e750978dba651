// The requisition report KRV520: the preparation before each report action and the query
// parameters taken from the filter. Printing, preview, files and the report engine are the
// base screen's.
#include "host/screens/Consiste.h"
#include "host/session/DBPicture.h"
#include "requisition/TfrmPedReq.h"

namespace krv::requisition {

using namespace krv::host;

void TfrmPedReq::connectReport() {
    rpddPadrao.BeforeGetQueryParams = [this](TParams& Params, bool& flag) {
        rpddPadraoBeforeGetQueryParams(Params, flag);
    };
}

// A No to the calculation's confirmation skips only the calculation: the report still runs,
// on the requisitions as they are.
void TfrmPedReq::PreparaImpressao() {
    ValidaFiltroRelatorio();
    if (chbCalc->isChecked()) calculaRequisicoes();
}

void TfrmPedReq::sbtPrintClick(QObject* Sender) {
    PreparaImpressao();
    TfrmDadosGerRel::sbtPrintClick(Sender);
}

void TfrmPedReq::sbtPreviewClick(QObject* Sender) {
    PreparaImpressao();
    TfrmDadosGerRel::sbtPreviewClick(Sender);
}

void TfrmPedReq::sbtSalvarComoClick(QObject* Sender) {
    PreparaImpressao();
    TfrmDadosGerRel::sbtSalvarComoClick(Sender);
}

void TfrmPedReq::sbtConfigImprClick(QObject* Sender) {
    PreparaImpressao();
    TfrmDadosGerRel::sbtConfigImprClick(Sender);
}

void TfrmPedReq::sbtReportEditClick(QObject* Sender) {
    PreparaImpressao();
    TfrmDadosGerRel::sbtReportEditClick(Sender);
}

// Parameters are set in the order of the query's needs below; a failure in one (an invalid
// selection found by the list calls) leaves those set before it as they are.
void TfrmPedReq::rpddPadraoBeforeGetQueryParams(TParams& Params, bool&) {
    if (ExistParam(Params, "P_CDFILIAL"))
        Params.ParamByName("P_CDFILIAL").SetAsVariant(medCdFilial->text().toStdString());
    if (ExistParam(Params, "P_DATAINI")) Params.ParamByName("P_DATAINI").SetAsVariant(depDataInic->GetDate());
    if (ExistParam(Params, "P_DATAFIN")) Params.ParamByName("P_DATAFIN").SetAsVariant(depDataFina->GetDate());
    if (ExistParam(Params, "P_NRLISTASERV"))
        Params.ParamByName("P_NRLISTASERV").SetAsString(getNrListaServ().toStdString());
    if (ExistParam(Params, "P_NRLISTATURNO"))
        Params.ParamByName("P_NRLISTATURNO").SetAsString(getNrListaTurno().toStdString());
    if (ExistParam(Params, "P_TAMNIV")) {
        TDBPicture& picture = DBPictObj(0);
        const int level = rbtOrdenaCod->isChecked() ? picture.GetTtNiveis() : sedNiveOrde->value();
        Params.ParamByName("P_TAMNIV").SetAsInteger(picture.TamAcNivel(QString::number(level)));
    }
    if (ExistParam(Params, "P_ORDENA"))
        Params.ParamByName("P_ORDENA").SetAsString(iif(rbtOrdenaCod->isChecked(), "C", "A").toStdString());
    if (ExistParam(Params, "P_IDIMPRIMECARD"))
        Params.ParamByName("P_IDIMPRIMECARD").SetAsString(iif(chbImpCard->isChecked(), "S", "N").toStdString());
    if (ExistParam(Params, "P_IDQUEBRAPAGINA"))
        Params.ParamByName("P_IDQUEBRAPAGINA").SetAsString(iif(chbQuebraPagina->isChecked(), "S", "N").toStdString());
    if (ExistParam(Params, "P_NRLINHABRANCA"))
        Params.ParamByName("P_NRLINHABRANCA")
            .SetAsInteger(chbLinhasBranco->isChecked() ? int64_t(nedLinhasBranco->GetNumber()) : 0);
    if (ExistParam(Params, "P_LISTAGRUPPROD"))
        Params.ParamByName("P_LISTAGRUPPROD")
            .SetAsString(iif(rbtTAgrupProd->isChecked(), "T", filtro.chavesAgrupProd).toStdString());
    if (ExistParam(Params, "P_IDRESUMO"))
        Params.ParamByName("P_IDRESUMO").SetAsString(iif(chbResumo->isChecked(), "S", "N").toStdString());
}

}  // namespace krv::requisition
