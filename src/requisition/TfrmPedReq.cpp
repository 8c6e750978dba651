#include "requisition/TfrmPedReq.h"

#include <QLineEdit>
#include <initializer_list>
#include <memory>
#include <stdexcept>
#include <utility>

#include "core/Errors.h"
#include "host/models/Convert.h"
#include "host/screens/Consiste.h"
#include "host/screens/EventHelpers.h"
#include "host/session/DBPicture.h"
#include "host/session/Session.h"
#include "requisition/RequisitionIcons.h"

using namespace krv;
using namespace krv::host;

namespace {

// The date edit announces a new date before the screen's own text handler runs, and that
// handler clears the weekday; so the date handler runs right after the text handler of
// the same change, and the weekday written last is the one that stays.
void BindDateEdit(TDateEditPlus* edit, QObject* context, std::function<void()> change,
                  std::function<void()> dateChange) {
    auto dateMoved = std::make_shared<bool>(false);
    QObject::connect(edit, &TDateEditPlus::dateChanged, context, [dateMoved] { *dateMoved = true; });
    QObject::connect(edit, &QLineEdit::textChanged, context, [=] {
        Guard([&] {
            const bool moved = std::exchange(*dateMoved, false);
            change();
            if (moved) dateChange();
        });
    });
}

void ShowWeekday(const TDateEditPlus* edit, QLineEdit* weekday) {
    if (const auto date = edit->Date()) weekday->setText(NomeSemana(*date));
}

}  // namespace

TfrmPedReq::TfrmPedReq(QWidget* parent) : TfrmDadosGerRel(parent) {
    setupUi(ContentArea());
    applyFormProperties();
    placeToolButtons();

    netPedReq.ServerName = "KRV52000.rdmPedReq";
    // Server failures come back as results, checked by CheckResultServ at each call.
    netPedReq.ThrowException = false;
    netPedReq.BeforeConnect = [this](TNetConnection& Sender) { netPedReqBeforeConnect(Sender); };

    cdsFilial.SetFields({
        {"IDMARCADO", FieldType::String, 1, "", 0, false},
        {"CDFILIAL", FieldType::String, 4, "Código", 10, true},
        {"NMFILIAL", FieldType::String, 30, "Nome", 0, true},
        {"OL", FieldType::Fixed, 1, "O. L.", 2, true},
    });
    connectHandlers();
}

TfrmPedReq::~TfrmPedReq() = default;

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

// The screen's own actions sit beside the report buttons of the base screen.
void TfrmPedReq::placeToolButtons() {
    sbtCalcReq->setIcon(requisition::CalcReqIcon());
    sbtGerarPedido->setIcon(requisition::GerarPedidoIcon());
    sbtCalcPrevCons->setIcon(requisition::CalcPrevConsIcon());
    for (TButtonFlat* button : {sbtCalcReq, sbtGerarPedido, sbtCalcPrevCons}) AddToolButton(button);
    panFerramentas->hide();
}

void TfrmPedReq::connectHandlers() {
    ConnectGuarded(medCdFilial, &QLineEdit::textChanged, this,
                   [this](const QString&) { medCdFilialChange(medCdFilial); });
    OnExit(medCdFilial, [this] { medCdFilialExit(medCdFilial); });
    BindDateEdit(
        depDataInic, this, [this] { depDataInicChange(depDataInic); }, [this] { depDataInicDateChange(depDataInic); });
    BindDateEdit(
        depDataFina, this, [this] { depDataFinaChange(depDataFina); }, [this] { depDataFinaDateChange(depDataFina); });
}

void TfrmPedReq::FormCreate() {
    TfrmDadosGerRel::FormCreate();
    Inicializacao();
}

void TfrmPedReq::Inicializacao() {
    netPedReq.SetConnected(true);

    nrListaServ.clear();
    chavesListaServ.clear();
    chavesServListaTurno.clear();
    chavesTurnoListaTurno.clear();
    cdFilialListaServ.clear();
    cdFilialListaTurno.clear();
    boFilialValidada = false;

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
    if (netPedReq.Connected()) netPedReq.SetConnected(false);
    TfrmDadosGerRel::FormClose(Sender, Action);
}

void TfrmPedReq::reportFailure(QWidget* control, const char* key) {
    // Like the platform, a control that cannot take the focus (a screen not shown yet, a
    // disabled group) is an error of its own, raised before any message.
    if (!control->isVisible() || !control->isEnabled())
        throw std::logic_error("Não é possível dar o foco a um controle invisível ou desabilitado.");
    control->setFocus(Qt::OtherFocusReason);
    MensErro(msgPadrao.Msg(key), true);
    throw EAbort();  // MensErro with its abort flag never returns
}

void TfrmPedReq::VdFilial(bool flag) {
    if (EmptyString(medCdFilial->text())) {
        if (flag) reportFailure(medCdFilial, "FILIAL_N_INF");
        return;
    }
    if (boFilialValidada) return;

    const QString adjusted = Ajusta(medCdFilial->text(), ajRequisitionBranch);
    if (adjusted != medCdFilial->text()) medCdFilial->setText(adjusted);
    getFilial(medCdFilial->text());
    if (cdsFilial.IsEmpty()) reportFailure(medCdFilial, "FILIAL_N_CAD");

    edtNmFilial->setText(ToQString(cdsFilial.FieldByName("NMFILIAL").AsString()));
    boFilialValidada = true;
    habilitacaoFilialOL(cdsFilial.FieldByName("OL").AsString() == "S");
}

void TfrmPedReq::getFilial(const QString& code) {
    WithBusy([&] {
        QString arg = code;
        const Variant result = netPedReq.Call("GetFilial", {Ref(arg)});
        cdsFilial.SetData(CheckResultServ(result, true, 0));
    });
}

void TfrmPedReq::medCdFilialChange(QObject*) {
    edtNmFilial->clear();
    rbtTodosServ->setChecked(true);
    rbtTAgrupProd->setChecked(true);
    boFilialValidada = false;
}

void TfrmPedReq::medCdFilialExit(QObject*) { VdFilial(false); }

void TfrmPedReq::habilitacaoFilialOL(bool) {
    // Filled with the logistic-operator mode: until then every branch is an ordinary one.
}

void TfrmPedReq::depDataInicChange(QObject*) { edtDataInic->clear(); }
void TfrmPedReq::depDataFinaChange(QObject*) { edtDataFina->clear(); }
void TfrmPedReq::depDataInicDateChange(QObject*) { ShowWeekday(depDataInic, edtDataInic); }
void TfrmPedReq::depDataFinaDateChange(QObject*) { ShowWeekday(depDataFina, edtDataFina); }
