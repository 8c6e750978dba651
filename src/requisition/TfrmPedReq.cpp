#include "requisition/TfrmPedReq.h"

#include <QAbstractButton>
#include <QLineEdit>
#include <initializer_list>
#include <stdexcept>
#include <utility>

#include "host/controls/ToolButtons.h"
#include "host/events/EventHelpers.h"
#include "host/screens/Consiste.h"
#include "host/session/DBPicture.h"
#include "host/session/RoleActions.h"
#include "host/session/Session.h"
#include "ordergen/Cli_krv52010.h"
#include "requisition/Cli_krv52000.h"
#include "requisition/RequisitionIcons.h"

namespace krv::requisition {

using namespace krv::host;

TfrmPedReq::TfrmPedReq(QWidget* parent) : TfrmDadosGerRel(parent) {
    setupUi(ContentArea());
    applyFormProperties();
    placeToolButtons();
    connectKitchens();
    connectStock();

    netPedReq.ServerName = "KRV52000.rdmPedReq";
    // Server failures come back as results, checked by CheckResultServ at each call.
    netPedReq.ThrowException = false;
    netPedReq.BeforeConnect = [this](TNetConnection& Sender) { netPedReqBeforeConnect(Sender); };

    declareDataSets();
    connectBranchPeriod();
    connectSelections();
    connectOptions();
    connectCalculation();
    ConnectGuarded(sbtGerarPedido, &QAbstractButton::clicked, this,
                   [this](bool) { sbtGerarPedidoClick(sbtGerarPedido); });
    connectReport();
    GuardRoleActions(this);
}

TfrmPedReq::~TfrmPedReq() {
    // The host deletes module screens before it unloads the package, and the package's
    // variables may survive the unload: the next CriaPedReq must create a screen rather than
    // show this one.
    if (frmPedReq == this) {
        frmPedReq = nullptr;
        boIdCriado = false;
    }
}

// What a form stream would carry beyond Qt's own properties: caption, codes, message table,
// the mask and the date edits' settings, all kept in the .ui as properties of the form.
void TfrmPedReq::applyFormProperties() {
    QWidget* form = ContentArea();
    setWindowTitle(form->windowTitle());
    lblCodTela->setText(form->property("lblCodTela").toString());
    lblCodRel->setText(form->property("lblCodRel").toString());
    rpddPadrao.ReportCode = lblCodRel->text();
    msgPadrao.Messages = form->property("msgPadrao").toStringList();

    medCdFilial->SetEditMask(medCdFilial->property("editMask").toString());
    for (TDateEditPlus* edit : {depDataInic, depDataFina}) {
        edit->SetValidDateColor(edit->property("validDateColor").value<QColor>());
        edit->SetWeekdayNames(edit->property("weekdayNames").toStringList());
    }
    // The level changes only through the arrows.
    if (auto* editor = sedNiveOrde->findChild<QLineEdit*>()) editor->setReadOnly(true);
}

// The screen's own actions sit beside the report buttons of the base screen, each with its
// function key.
void TfrmPedReq::placeToolButtons() {
    sbtCalcReq->setIcon(CalcReqIcon());
    sbtGerarPedido->setIcon(GerarPedidoIcon());
    sbtCalcPrevCons->setIcon(CalcPrevConsIcon());
    sbtVerPrevisao->setIcon(VerPrevisaoIcon());
    const std::pair<TButtonFlat*, Qt::Key> actions[] = {{sbtCalcReq, Qt::Key_F5},
                                                        {sbtGerarPedido, Qt::Key_F6},
                                                        {sbtCalcPrevCons, Qt::Key_F7},
                                                        {sbtVerPrevisao, Qt::Key_F9}};
    for (const auto& [button, key] : actions) {
        AddToolButton(button);
        SetShortcut(button, key, this);
    }
    panFerramentas->hide();
}

void TfrmPedReq::declareDataSets() {
    cdsFilial.SetFields({
        {"IDMARCADO", FieldType::String, 1, "", 0, false},
        {"CDFILIAL", FieldType::String, 4, "Código", 10, true},
        {"NMFILIAL", FieldType::String, 30, "Nome", 0, true},
        {"OL", FieldType::Fixed, 1, "O. L.", 2, true},
    });
    cdsServico.SetFields({
        {"IDMARCADO", FieldType::Fixed, 1, "", 3, true},
        {"CHAVE", FieldType::String, 9, "", 0, false},
        {"CDSERVFILI", FieldType::String, 5, "Código", 0, true},
        {"NMSERVICO", FieldType::String, 40, "Nome", 0, true},
    });
    cdsAgrupProd.SetFields({
        {"IDMARCADO", FieldType::Fixed, 1, "", 3, true},
        {"CHAVE", FieldType::String, 20, "", 0, false},
        {"CDSUBGRPROD", FieldType::String, 10, "Código", 12, true},
        {"NMSUBGRPROD", FieldType::String, 40, "Nome", 38, true},
    });
    cdsTurno.SetFields({
        {"IDMARCADO", FieldType::Fixed, 1, "", 3, true},
        {"CHAVE", FieldType::String, 10, "", 0, false},
        {"CDSERVFILI", FieldType::String, 5, "Código", 0, true},
        {"NMSERVICO", FieldType::String, 40, "Serviço", 30, true},
        {"CDTURNO", FieldType::String, 1, "", 0, false},
        {"NMTURNO", FieldType::String, 10, "Turno", 15, true},
    });
}

void TfrmPedReq::FormCreate() {
    TfrmDadosGerRel::FormCreate();
    Inicializacao();
}

void TfrmPedReq::Inicializacao() {
    netPedReq.SetConnected(true);

    filtro.nrListaServ.clear();
    forgetListKeys();
    filtro.boFilialValidada = false;

    // The screen opens whatever happens to the session's branch: it stays not validated
    // and is looked up again by the first action that needs it.
    try {
        medCdFilial->setText(FiliProc());
        VdFilial(false);
    } catch (const std::exception&) {
    }

    const DateTime processing = DataProc(FiliProc());
    depDataInic->SetDate(processing);
    depDataFina->SetDate(processing);
    edtDataInic->setText(NomeSemana(processing));
    edtDataFina->setText(NomeSemana(processing));

    const int levels = DBPictObj(0).GetTtNiveis();
    sedNiveOrde->setMaximum(levels < 2 ? levels : levels - 2);
}

void TfrmPedReq::netPedReqBeforeConnect(TNetConnection& Sender) {
    Sender.Host = WebURL();
    Sender.Port = WebPort();
    // A server that asks for the shared token refuses every connection without it.
    Sender.Token = CurrentSession().token;
}

void TfrmPedReq::FormClose(QObject* Sender, int& Action) {
    // A server that cannot delete the lists must not keep the screen, and with it the host,
    // from closing: its error is shown once and the close goes on. The server purges lists
    // left behind.
    Guard([this] { apagaListas(); });
    if (netPedReq.Connected()) netPedReq.SetConnected(false);
    TfrmDadosGerRel::FormClose(Sender, Action);
}

// The order screen reads this screen's filter, so it opens only on a valid one.
void TfrmPedReq::sbtGerarPedidoClick(QObject*) {
    ValidaFiltroRelatorio();
    CriaGerarPedReq();
}

void TfrmPedReq::reportFailure(QWidget* control, const char* key) { MensErroEm(control, msgPadrao.Msg(key)); }

}  // namespace krv::requisition
