// The service, product-grouping and shift selections: "Todos", or the keys marked in a
// list picker over rows the server gives.
#include <QAbstractButton>
#include <QRadioButton>

#include "host/controls/ToolButtons.h"
#include "host/dialogs/HostUi.h"
#include "host/screens/Consiste.h"
#include "host/events/EventHelpers.h"
#include "requisition/TfrmPedReq.h"

namespace krv::requisition {

using namespace krv::host;

namespace {

// A group's handler runs once per change of its choice: for the button that became checked,
// never for the one that lost it, nor for a button checked again.
void OnChoice(QRadioButton* todos, QRadioButton* lista, QObject* context, std::function<void(QObject*)> handler) {
    for (QRadioButton* radio : {todos, lista})
        ConnectGuarded(radio, &QAbstractButton::toggled, context, [radio, handler](bool checked) {
            if (checked) handler(radio);
        });
}

// The picker button is usable only on "Lista"; "Todos" forgets the marked keys. True when
// the group is now on "Todos".
bool ApplyChoice(const QRadioButton* todos, const QRadioButton* lista, QWidget* picker, QString& keys) {
    picker->setEnabled(lista->isChecked());
    if (!todos->isChecked()) return false;
    keys.clear();
    return true;
}

}  // namespace

void TfrmPedReq::connectSelections() {
    OnChoice(rbtTodosServ, rbtListaServ, this, [this](QObject* s) { rbtTodosServClick(s); });
    OnChoice(rbtTAgrupProd, rbtLAgrupProd, this, [this](QObject* s) { rbtTAgrupProdClick(s); });
    OnChoice(rbtTTurno, rbtLTurno, this, [this](QObject* s) { rbtTTurnoClick(s); });
    ConnectGuarded(sbtServico, &QAbstractButton::clicked, this, [this](bool) { sbtServicoClick(sbtServico); });
    ConnectGuarded(sbtAgrupProd, &QAbstractButton::clicked, this, [this](bool) { sbtAgrupProdClick(sbtAgrupProd); });
    ConnectGuarded(sbtTurno, &QAbstractButton::clicked, this, [this](bool) { sbtTurnoClick(sbtTurno); });
    SetShortcut(sbtServico, Qt::Key_F2, grbServ);
    SetShortcut(sbtAgrupProd, Qt::Key_F2, grbAgrupProd);
    SetShortcut(sbtTurno, Qt::Key_F2, grbTurno);
}

void TfrmPedReq::rbtTodosServClick(QObject*) {
    // The shift rows belong to the chosen services.
    if (ApplyChoice(rbtTodosServ, rbtListaServ, sbtServico, filtro.chavesServico)) rbtTTurno->setChecked(true);
}

void TfrmPedReq::rbtTAgrupProdClick(QObject*) {
    ApplyChoice(rbtTAgrupProd, rbtLAgrupProd, sbtAgrupProd, filtro.chavesAgrupProd);
}

void TfrmPedReq::rbtTTurnoClick(QObject*) { ApplyChoice(rbtTTurno, rbtLTurno, sbtTurno, filtro.chavesTurno); }

QString TfrmPedReq::selecaoServico() const { return iif(rbtTodosServ->isChecked(), "T", filtro.chavesServico); }

QString TfrmPedReq::selecaoTurno() const { return iif(rbtTTurno->isChecked(), "T", filtro.chavesTurno); }

void TfrmPedReq::loadForBranch(const char* method, TClientDataSet& cds) {
    VdFilial(true);
    WithBusy([&] { cds.SetData(CheckResultServ(netPedReq.Call(method, {medCdFilial->text()}), true, 0)); });
}

void TfrmPedReq::getServico() { loadForBranch("GetServico", cdsServico); }

void TfrmPedReq::getAgrupProd() { loadForBranch("GetAgrupProd", cdsAgrupProd); }

void TfrmPedReq::getTurno() {
    renovandoListas([&] {
        WithBusy([&] {
            const QString nrLista = getNrListaServ();
            cdsTurno.SetData(CheckResultServ(netPedReq.Call("GetTurno", {nrLista}), true, 0));
        });
    });
}

void TfrmPedReq::pickKeys(TClientDataSet& cds, const char* titleKey, const char* emptyKey, QString& keys) {
    const QString caption = msgPadrao.Msg(titleKey) + "|" + msgPadrao.Msg(emptyKey);
    HostUi::instance().pesquisaLista(cds, "CHAVE", caption, keys);
}

void TfrmPedReq::sbtServicoClick(QObject*) {
    evitaErrosFoco();
    getServico();
    pickKeys(cdsServico, "SERVICO", "N_HA_SERVICO", filtro.chavesServico);
}

void TfrmPedReq::sbtAgrupProdClick(QObject*) {
    evitaErrosFoco();
    getAgrupProd();
    pickKeys(cdsAgrupProd, "AGRUPPROD", "N_HA_AGRUPPROD", filtro.chavesAgrupProd);
}

void TfrmPedReq::sbtTurnoClick(QObject*) {
    evitaErrosFoco();
    getTurno();
    pickKeys(cdsTurno, "TURNO", "N_HA_TURNO", filtro.chavesTurno);
}

void TfrmPedReq::checkMarked(QRadioButton* lista, const QString& keys, const char* key) {
    if (lista->isChecked() && EmptyString(keys)) reportFailure(lista, key);
}

void TfrmPedReq::VdServico() { checkMarked(rbtListaServ, filtro.chavesServico, "SERVICO_N_INF"); }

void TfrmPedReq::VdAgrupProd() { checkMarked(rbtLAgrupProd, filtro.chavesAgrupProd, "AGRUPPROD_N_INF"); }

void TfrmPedReq::VdTurno() { checkMarked(rbtLTurno, filtro.chavesTurno, "TURNO_N_INF"); }

}  // namespace krv::requisition
