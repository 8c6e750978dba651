// Which branches the list shows, and into which service and branch the orders are
// consolidated when not generated per service or per branch.
#include <QAbstractButton>
#include <QCheckBox>
#include <QLabel>
#include <QToolButton>
#include <initializer_list>

#include "host/controls/ToolButtons.h"
#include "host/dialogs/HostUi.h"
#include "host/events/EventHelpers.h"
#include "host/models/Convert.h"
#include "host/screens/Consiste.h"
#include "ordergen/TfrmGerarPedReq.h"
#include "requisition/Cli_krv52000.h"
#include "requisition/TfrmPedReq.h"

namespace krv::ordergen {

using namespace krv::host;

void TfrmGerarPedReq::connectFilters() {
    ConnectGuarded(chbServico, &QAbstractButton::toggled, this, [this](bool) { chbServicoClick(chbServico); });
    ConnectGuarded(chbFilial, &QAbstractButton::toggled, this, [this](bool) { chbFilialClick(chbFilial); });
    ConnectGuarded(btpServico, &QAbstractButton::clicked, this, [this](bool) { btpServicoClick(btpServico); });
    ConnectGuarded(btpFilial, &QAbstractButton::clicked, this, [this](bool) { btpFilialClick(btpFilial); });
    OnExit(medCdServico, [this] { medCdServicoExit(medCdServico); });
    OnExit(medCdFilial, [this] { medCdFilialExit(medCdFilial); });

    // A radio's handler runs when it becomes checked, never for the one that lost the check.
    ConnectGuarded(rbtTFilial, &QAbstractButton::toggled, this, [this](bool on) {
        if (on) rbtTFilialClick(rbtTFilial);
    });
    ConnectGuarded(rbtLFilial, &QAbstractButton::toggled, this, [this](bool on) {
        if (on) rbtLFilialClick(rbtLFilial);
    });
    ConnectGuarded(sbtFilial, &QAbstractButton::clicked, this, [this](bool) { sbtFilialClick(sbtFilial); });
    SetShortcut(btpServico, Qt::Key_F2, medCdServico);
    SetShortcut(btpFilial, Qt::Key_F2, medCdFilial);
    SetShortcut(sbtFilial, Qt::Key_F2, grbServ);

    ConnectGuarded(depDataInic, &TDateEditPlus::dateChanged, this,
                   [this](const DateTime&) { depDataInicDateChange(depDataInic); });
    ConnectGuarded(depDataFina, &TDateEditPlus::dateChanged, this,
                   [this](const DateTime&) { depDataFinaDateChange(depDataFina); });
}

// ---- consolidation ----------------------------------------------------------------------

// The service and the branch are consolidated alike; this is what tells them apart.
TfrmGerarPedReq::Consolidation TfrmGerarPedReq::servico() {
    return {
        chbServico,   lblServico,  medCdServico, btpServico,     edtNmServico, cdsServico,  ajService,
        "CDSERVFILI", "NMSERVICO", "SERVICO",    "N_HA_SERVICO", "Serv_Inf",   "Serv_NCad", [this] { getServico(); }};
}

TfrmGerarPedReq::Consolidation TfrmGerarPedReq::filial() {
    return {chbFilial,     lblFilial,
            medCdFilial,   btpFilial,
            edtNmFilial,   cdsFilial,
            ajOrderBranch, "CDFILIAL",
            "NMFILIAL",    "Filial",
            "N_HA_FILIAL", "Filial_Inf",
            "Filial_NCad", [this] { getFilial(cdsFilial); }};
}

void TfrmGerarPedReq::getServico() {
    const requisition::TfrmPedReq& pedReq = *frmPedReq;
    cdsServico.SetData(CheckResultServ(frmPedReq->netPedReq.Call("GetServico", {pedReq.medCdFilial->text()}), true, 0));
}

void TfrmGerarPedReq::getFilial(TClientDataSet& cds) {
    cds.SetData(CheckResultServ(frmPedReq->netPedReq.Call("GetFilial", {QStringLiteral("T")}), true, 0));
}

bool TfrmGerarPedReq::locateTyped(const Consolidation& c) {
    if (c.list.IsEmpty()) c.load();
    return c.list.Locate(c.codeField, ToVariant(c.code->text()));
}

// Per item the code's controls rest, keeping what they hold; consolidating starts afresh.
void TfrmGerarPedReq::applyConsolidation(const Consolidation& c) {
    const bool perItem = c.perItem->isChecked();
    for (QWidget* control : std::initializer_list<QWidget*>{c.label, c.code, c.picker}) control->setEnabled(!perItem);
    if (perItem) return;
    c.code->clear();
    c.name->clear();
}

void TfrmGerarPedReq::pickConsolidation(const Consolidation& c) {
    WithBusy(c.load);
    if (c.list.IsEmpty()) reportFailure(c.code, c.emptyKey);
    c.list.Locate(c.codeField, ToVariant(c.code->text()));  // opens on the code in the field
    if (!HostUi::instance().pesquisar(c.list, msgPadrao.Msg(c.titleKey))) return;
    c.code->setText(ToQString(c.list.FieldByName(c.codeField).AsString()));
    c.name->setText(ToQString(c.list.FieldByName(c.nameField).AsString()));
}

// A lookup list once loaded serves every later exit; only the picker loads it again.
void TfrmGerarPedReq::lookUpTyped(const Consolidation& c) {
    if (EmptyString(c.code->text())) return;
    c.code->setText(Ajusta(c.code->text(), c.ajustaKind));
    if (!locateTyped(c)) reportFailure(c.code, c.notFoundKey);
    c.name->setText(ToQString(c.list.FieldByName(c.nameField).AsString()));
}

void TfrmGerarPedReq::chbServicoClick(QObject*) { applyConsolidation(servico()); }
void TfrmGerarPedReq::chbFilialClick(QObject*) { applyConsolidation(filial()); }
void TfrmGerarPedReq::btpServicoClick(QObject*) { pickConsolidation(servico()); }
void TfrmGerarPedReq::btpFilialClick(QObject*) { pickConsolidation(filial()); }
void TfrmGerarPedReq::medCdServicoExit(QObject*) { lookUpTyped(servico()); }
void TfrmGerarPedReq::medCdFilialExit(QObject*) { lookUpTyped(filial()); }

// ---- branch filter ----------------------------------------------------------------------

// A choice applies at the click, as the requisition screen's do: "Todos" lists every branch,
// "Lista" keeps the branches listed until others are picked.
void TfrmGerarPedReq::rbtTFilialClick(QObject*) {
    sbtFilial->setEnabled(false);
    if (cdsListaFilial.IsEmpty()) getFilial(cdsListaFilial);
    chavesFilial.clear();
    for (cdsListaFilial.First(); !cdsListaFilial.Eof(); cdsListaFilial.Next())
        chavesFilial += "_" + ToQString(cdsListaFilial.FieldByName("CDFILIAL").AsString());
    chavesFilial += "_";
    aplicaFiliais();
}

void TfrmGerarPedReq::rbtLFilialClick(QObject*) { sbtFilial->setEnabled(true); }

void TfrmGerarPedReq::sbtFilialClick(QObject*) {
    getFilial(cdsListaFilial);
    const QString caption = msgPadrao.Msg("Filial") + "|" + msgPadrao.Msg("Filial_NCad");
    if (HostUi::instance().pesquisaLista(cdsListaFilial, "CDFILIAL", caption, chavesFilial)) aplicaFiliais();
}

// An unchanged choice asks the server nothing.
void TfrmGerarPedReq::aplicaFiliais() {
    if (chavesFilial != chavesLidas) getRequisicoes();
}

// ---- period -----------------------------------------------------------------------------

void TfrmGerarPedReq::depDataInicDateChange(QObject*) {
    edtDataInic->setText(NomeSemana(depDataInic->GetDate()).left(3));
}
void TfrmGerarPedReq::depDataFinaDateChange(QObject*) {
    edtDataFina->setText(NomeSemana(depDataFina->GetDate()).left(3));
}

}  // namespace krv::ordergen
