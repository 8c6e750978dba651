// The server keeps the service and shift selections as numbered lists; the screen asks for a
// list's number once per branch and selection and passes the number to later calls.
#include <QRegularExpression>

#include "core/Errors.h"
#include "host/dialogs/HostUi.h"
#include "host/models/Convert.h"
#include "host/screens/Consiste.h"
#include "host/session/ServerOutcome.h"
#include "requisition/TfrmPedReq.h"

namespace krv::requisition {

using namespace krv::host;

QString TfrmPedReq::getNrListaServ() {
    // Validated on every call, also when the number is at hand: an incomplete filter has no list.
    VdFilial(true);
    VdServico();
    QString selecao = selecaoServico();
    if (selecao == filtro.chavesListaServ && medCdFilial->text() == filtro.cdFilialListaServ) return filtro.nrListaServ;

    // A failure leaves the cache keys alone, so the next call asks again.
    const Variant payload = WithBusy([&] {
        return CheckResultServ(
            netPedReq.Call("GetNrListaServ", {medCdFilial->text(), Ref(selecao), Ref(filtro.nrListaServ)}), true, 0);
    });
    filtro.nrListaServ = ListNumber(payload);
    filtro.chavesListaServ = selecao;
    filtro.cdFilialListaServ = medCdFilial->text();
    return filtro.nrListaServ;
}

QString TfrmPedReq::getNrListaTurno() {
    // Branch and services are validated only when the list is renewed, by getNrListaServ.
    VdTurno();
    const QString servicos = selecaoServico();
    QString turnos = selecaoTurno();
    if (servicos == filtro.chavesServListaTurno && turnos == filtro.chavesTurnoListaTurno &&
        medCdFilial->text() == filtro.cdFilialListaTurno)
        return filtro.nrListaTurno;

    const Variant payload = WithBusy([&] {
        const QString nrListaServ = getNrListaServ();
        return CheckResultServ(netPedReq.Call("GetNrListaTurno", {nrListaServ, Ref(filtro.nrListaTurno), Ref(turnos)}),
                               true, 0);
    });
    filtro.nrListaTurno = ListNumber(payload);
    filtro.chavesServListaTurno = servicos;
    filtro.chavesTurnoListaTurno = turnos;
    filtro.cdFilialListaTurno = medCdFilial->text();
    return filtro.nrListaTurno;
}

// Whatever the server writes back into the numbers stays in them. The screen outlives its
// close, so once the lists are gone the next use must ask for new ones instead of passing
// numbers the server no longer holds; after a failed delete the numbers stay, and the next
// close tries again.
void TfrmPedReq::apagaListas() {
    WithBusy([&] {
        CheckResultServ(netPedReq.Call("apagaListas", {Ref(filtro.nrListaServ), Ref(filtro.nrListaTurno),
                                                       Ref(filtro.nrListaCalc), Ref(filtro.cdFilialListaCalc)}),
                        true, 0);
    });
    forgetListKeys();
}

void TfrmPedReq::forgetListKeys() {
    filtro.chavesListaServ.clear();
    filtro.cdFilialListaServ.clear();
    filtro.chavesServListaTurno.clear();
    filtro.chavesTurnoListaTurno.clear();
    filtro.cdFilialListaTurno.clear();
}

void TfrmPedReq::esqueceListas() {
    filtro.nrListaServ.clear();
    filtro.nrListaTurno.clear();
    forgetListKeys();
}

// The server's words for a service or shift list number it does not hold.
bool TfrmPedReq::isListaPerdida(const char* message) {
    static const QRegularExpression lost(QString::fromUtf8("^Lista de (serviços|turnos) \\d+ não encontrada\\.$"));
    return lost.match(QString::fromUtf8(message)).hasMatch();
}

TfrmPedReq::ReportData TfrmPedReq::FetchReport() {
    return renovandoListas([&] { return TfrmDadosGerRel::FetchReport(); });
}

}  // namespace krv::requisition
