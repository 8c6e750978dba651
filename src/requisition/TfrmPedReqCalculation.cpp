// The two computations the server runs from this screen's filter — the requisitions of a
// branch and period, and a logistic operator's consumption forecast — and the switch between
// the branches that allow one or the other.
#include <QAbstractButton>
#include <QLocale>
#include <QToolButton>

#include "core/Errors.h"
#include "host/dialogs/HostUi.h"
#include "host/events/EventHelpers.h"
#include "host/models/Convert.h"
#include "host/screens/Consiste.h"
#include "host/session/Access.h"
#include "host/session/ServerOutcome.h"
#include "host/session/Session.h"
#include "requisition/TfrmPedReq.h"

namespace krv::requisition {

using namespace krv::host;

void TfrmPedReq::connectCalculation() {
    ConnectGuarded(sbtCalcReq, &QAbstractButton::clicked, this, [this](bool) { sbtCalcReqClick(sbtCalcReq); });
    ConnectGuarded(sbtCalcPrevCons, &QAbstractButton::clicked, this,
                   [this](bool) { sbtCalcPrevConsClick(sbtCalcPrevCons); });
    ConnectGuarded(sbtVerPrevisao, &QAbstractButton::clicked, this,
                   [this](bool) { sbtVerPrevisaoClick(sbtVerPrevisao); });
}

// The mode lives only in what is enabled. Branch and period stay editable in both modes. A
// group switches all its controls, so the picker buttons, the blank-line count and the level
// are set again after their group: on an ordinary branch they follow their own choices, as
// their click handlers leave them.
void TfrmPedReq::habilitacaoFilialOL(bool isOL) {
    const bool comum = !isOL;
    lblModoOL->setVisible(isOL);  // the greyed controls say why
    for (QWidget* report : {sbtPrint, sbtPreview, sbtSalvarComo, sbtConfigImpr, sbtReportEdit})
        report->setEnabled(comum);
    sbtCalcReq->setEnabled(comum);
    sbtGerarPedido->setEnabled(comum);
    sbtCalcPrevCons->setEnabled(isOL);
    sbtCalcReqFiliais->setEnabled(isOL);
    SetChildEnabled(grbServ, comum);
    sbtServico->setEnabled(comum && rbtListaServ->isChecked());
    SetChildEnabled(grbAgrupProd, comum);
    sbtAgrupProd->setEnabled(comum && rbtLAgrupProd->isChecked());
    SetChildEnabled(grbTurno, comum);
    sbtTurno->setEnabled(comum && rbtLTurno->isChecked());
    SetChildEnabled(grbOpcoesRel, comum);
    nedLinhasBranco->setEnabled(comum && chbLinhasBranco->isChecked());
    SetChildEnabled(grbTipoConsumo, comum);
    SetChildEnabled(grbOrdenacao, comum);
    sedNiveOrde->setEnabled(comum && rbtOrdenaAlfab->isChecked());
    // Last: the question goes to the server, and the switch above must be complete anyway.
    sbtVerPrevisao->setEnabled(isOL && Refusal(kConsultarPrevisao).isEmpty() && existePrevisao());
}

void TfrmPedReq::sbtCalcReqClick(QObject*) {
    ValidaFiltroRelatorio();
    calculaRequisicoes();
}

// Expects a validated filter. The server replaces the list of the previous calculation, so
// that list and its branch go with the call; they name the new one only once it succeeded.
void TfrmPedReq::calculaRequisicoes() {
    if (msgPadrao.ShowMsg("CONF_CALCULO", MsgDlgType::Confirmation, mbYes | mbNo) == mrNo) return;
    QString arredonda = iif(chbArredond->isChecked(), "S", "N");
    QString tiposConsumo = iif(chbMateriaPrima->isChecked(), "C", "X") + iif(chbConsumoFixo->isChecked(), "F", "X") +
                           iif(chbConsumoPerCapita->isChecked(), "P", "X");
    HostUi::instance().showStatus(QString());  // a failure leaves no earlier summary behind

    translatingFailures([&] { renovandoListas([&] { calculaComLista(arredonda, tiposConsumo); }); });
}

void TfrmPedReq::calculaComLista(QString& arredonda, QString& tiposConsumo) {
    // The service list comes first: it validates the services again and may ask the server.
    const QString nrListaServ = getNrListaServ();
    const QString filialProc = FiliProc();
    const QString operador = Operador();
    const double acrescimo = nedAcresc->GetNumber();  // percent, as typed
    const DateTime fim = depDataFina->GetDate();
    const DateTime inicio = depDataInic->GetDate();
    const QString filial = medCdFilial->text();
    const Variant payload =
        CheckResultServ(netPedReq.Call("CalculaRequisicoes", {filial, inicio, fim, acrescimo, Ref(arredonda),
                                                              Ref(tiposConsumo), operador, filialProc, nrListaServ,
                                                              Ref(filtro.nrListaCalc), Ref(filtro.cdFilialListaCalc)}),
                        true, 0);
    filtro.nrListaCalc = ListNumber(payload);
    filtro.cdFilialListaCalc = medCdFilial->text();
    informaCalculo(payload.array());
}

// After element 0 the server tells how many requisitions and items it wrote, which services
// had no menu, and then the shifts with a menu and no diners, the days of fixed consumption
// with no diners, the shifts with diners and no menu and the dishes with no recipe (the first
// few named, and their count); one warning tells all.
// A server that tells nothing leaves the status bar empty.
void TfrmPedReq::informaCalculo(const Variant::Array& result) {
    if (result.size() < 4) return;
    const QLocale br(QLocale::Portuguese, QLocale::Brazil);
    const auto count = [&](const Variant& value) { return br.toString(qlonglong(value.asInt())); };
    HostUi::instance().showStatus(msgPadrao.Msg("CALCULO_RESUMO").arg(count(result[1]), count(result[2])));
    QStringList avisos;
    if (const QString semCardapio = ToQString(result[3]); !semCardapio.isEmpty())
        avisos << msgPadrao.Msg("SEM_CARDAPIO").arg(semCardapio);
    const std::pair<size_t, const char*> contados[] = {
        {4, "SEM_COMENSAIS"}, {6, "FIXO_SEM_COMENSAIS"}, {8, "COMENSAIS_SEM_CARDAPIO"}, {10, "SEM_RECEITA"}};
    for (const auto& [at, chave] : contados)
        if (result.size() > at + 1 && result[at + 1].asInt() > 0)
            avisos << msgPadrao.Msg(chave).arg(count(result[at + 1]), ToQString(result[at]));
    if (!avisos.isEmpty()) HostUi::instance().messageDlg(avisos.join("\n\n"), MsgDlgType::Warning, mbOK);
}

void TfrmPedReq::sbtCalcPrevConsClick(QObject*) { calculaPrevisaoConsumo(); }

// Only the enabled state of the forecast button keeps ordinary branches away: the branch
// validated here, if it was only typed, switches the mode and the forecast still runs.
void TfrmPedReq::calculaPrevisaoConsumo() {
    VdFilial(true);
    VdPeriodo();
    if (msgPadrao.ShowMsg("CONF_CALCULO_PREV", MsgDlgType::Confirmation, mbYes | mbNo) == mrNo) return;

    translatingFailures([&] {
        const QString operador = Operador();
        const DateTime fim = depDataFina->GetDate();
        const DateTime inicio = depDataInic->GetDate();
        const QString filial = medCdFilial->text();
        CheckResultServ(netPedReq.Call("CalculaPrevisaoConsumo", {filial, inicio, fim, operador}), true, 0);
    });
    sbtVerPrevisao->setEnabled(true);
    msgPadrao.ShowMsg("CALCULO_PREV_SUCESSO", MsgDlgType::Confirmation, mbOK);
}

// The server names some of its refusals by a key of this screen's table, so the user reads
// them in the screen's words; any other failure goes on as it came. The busy animation is
// off before anything is shown.
void TfrmPedReq::translatingFailures(const std::function<void()>& call) {
    try {
        WithBusy(call);
    } catch (const EAbort&) {
        throw;  // already reported
    } catch (const std::exception& e) {
        const QString text = msgPadrao.Msg(QString::fromUtf8(e.what()));
        if (text.isEmpty()) throw;
        MensErro(text, true);
    }
}

}  // namespace krv::requisition
