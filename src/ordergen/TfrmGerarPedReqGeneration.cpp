// Purchase orders from the marked requisitions: the consolidation choices are checked, the
// list goes to the server as a numbered list, and the server generates the orders.
#include "core/Errors.h"
#include "core/NumberText.h"
#include "host/dialogs/HostUi.h"
#include "host/events/EventHelpers.h"
#include "host/models/Convert.h"
#include "host/screens/Consiste.h"
#include "host/session/Session.h"
#include "ordergen/TfrmGerarPedReq.h"
#include "ordergen/TfrmPreviaPedidos.h"
#include "requisition/Cli_krv52000.h"
#include "requisition/TfrmPedReq.h"

namespace krv::ordergen {

using namespace krv::host;

namespace {

// Anything but an array with an element 0 is an answer the screen cannot use.
QString ListNumber(const Variant& payload) {
    if (payload.type() != Variant::Type::Array || payload.array().empty())
        throw EServerError("Resposta inválida do servidor");
    return ToQString(payload.array().front());
}

}  // namespace

// An empty consolidation code tells the server to generate per item on that axis.
void TfrmGerarPedReq::checkConsolidation(const Consolidation& c) {
    if (c.perItem->isChecked()) {
        c.code->clear();
        return;
    }
    if (EmptyString(c.code->text())) reportFailure(c.code, c.notInformedKey);
    if (!locateTyped(c)) reportFailure(c.code, c.notFoundKey);
}

void TfrmGerarPedReq::sbtConfirmaClick(QObject*) {
    checkConsolidation(servico());
    checkConsolidation(filial());
    GeraPedidoPorRequisicao();
}

void TfrmGerarPedReq::GeraPedidoPorRequisicao() {
    // The marks are checked before the busy animation starts, so their message is not shown
    // under it.
    QString nrLista;
    getNrListaRequiPedido(nrLista);
    if (!confirmaPrevia(nrLista)) return;
    const Variant feitos = WithBusy([&] { return chamaGeracao("GeraPedidoPorRequisicao", nrLista); });
    HostUi::instance().messageDlg(msgPadrao.Msg("GERACAO_CONCLUIDA") + "\n" + resumoGeracao(feitos),
                                  MsgDlgType::Information, mbOK);
    // With no order made there are no numbers to select.
    const bool fezPedidos = feitos.array().at(0).asInt() > 0;
    primeiroGerado = fezPedidos ? feitos.array().at(1).asInt() : 0;
    ultimoGerado = fezPedidos ? feitos.array().at(2).asInt() : 0;
    lembraGeracao();
    // The new orders show in the reloaded list.
    getRequisicoes();
}

Variant TfrmGerarPedReq::chamaGeracao(const char* metodo, const QString& nrLista) {
    requisition::TfrmPedReq& pedReq = *frmPedReq;
    QString porTurno = iif(chbGerarPorTurno->isChecked(), "S", "N");
    const QString arredondar = iif(chbArredondar->isChecked(), "S", "N");
    const QString descontarSaldo = iif(chbDescontarSaldo->isChecked(), "S", "N");
    return CheckResultServ(
        pedReq.netPedReq.Call(metodo, {pedReq.medCdFilial->text(), pedReq.depDataInic->GetDate(),
                                       pedReq.depDataFina->GetDate(), nrLista, Ref(porTurno), Operador(), FiliProc(),
                                       medCdFilial->text(), medCdServico->text(), arredondar, descontarSaldo}),
        true, 0);
}

// The server remembers what it showed: the generation that follows makes exactly that, or
// refuses when another operator changed the requisitions meanwhile.
bool TfrmGerarPedReq::confirmaPrevia(const QString& nrLista) {
    const Variant previa = WithBusy([&] { return chamaGeracao("PreviaPedidoPorRequisicao", nrLista); });
    if (previa.type() != Variant::Type::Packet) throw EServerError("Resposta inválida do servidor");
    TfrmPreviaPedidos dialogo(previa, this);
    return HostUi::instance().execDialog(dialogo) == QDialog::Accepted;
}

// "3 pedidos gerados: números 501 a 503.", and how many requisitions the stock met when
// some were (a server that does not say met none).
QString TfrmGerarPedReq::resumoGeracao(const Variant& feitos) const {
    if (feitos.type() != Variant::Type::Array || feitos.array().size() < 3)
        throw EServerError("Resposta inválida do servidor");
    const Variant::Array& a = feitos.array();
    QString resumo = a[0].asInt() == 0 ? msgPadrao.Msg("NENHUM_PEDIDO_GERADO")
                     : a[0].asInt() == 1
                         ? msgPadrao.Msg("PEDIDO_GERADO").arg(ToQString(a[1]))
                         : msgPadrao.Msg("PEDIDOS_GERADOS")
                               .arg(QString::fromStdString(countText(a[0].asInt())), ToQString(a[1]), ToQString(a[2]));
    const int64_t atendidas = a.size() > 3 ? a[3].asInt() : 0;
    if (atendidas > 0)
        resumo += "\n" + msgPadrao.Msg("ATENDIDAS_PELO_ESTOQUE")
                             .arg(QString::fromStdString(countedText(atendidas, "requisição", "requisições")));
    return resumo;
}

// The marked open rows go, with only what the server reads of them (mark, number, day and
// branch): a large company's month in whole would be more than one frame carries. The number
// the server gave last time goes with them, so it replaces that list; "N" spares the list's
// journey back, which the screen does not use.
void TfrmGerarPedReq::getNrListaRequiPedido(QString& nrLista) {
    if (contaAbertas().marked <= 0) MensErro(msgPadrao.Msg("N_HA_REQUI_MARCADA"), true);
    const Variant payload = WithBusy([&] {
        return CheckResultServ(
            frmPedReq->netPedReq.Call(
                "GetNrListaRequiPedido",
                {cdsRequisicoes.Data(aberta(true), {"IDMARCADO", "NRREQUIPEDIDO", "DTREQUIPEDIDO", "CDFILIAL"}),
                 Ref(nrListaRequiPedido), "N"}),
            true, 0);
    });
    nrListaRequiPedido = ListNumber(payload);
    nrLista = nrListaRequiPedido;
}

// Also with no list made: the server is told at every close.
void TfrmGerarPedReq::apagaListaRequiPedido() {
    WithBusy([&] {
        CheckResultServ(frmPedReq->netPedReq.Call("apagaListaRequiPedido", {Ref(nrListaRequiPedido)}), true, 0);
    });
}

}  // namespace krv::ordergen
