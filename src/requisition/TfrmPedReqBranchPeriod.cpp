// The branch and period parts of the requisition screen's filter.
#include <QAbstractButton>
#include <QLineEdit>
#include <functional>
#include <memory>
#include <utility>

#include "host/controls/ToolButtons.h"
#include "host/dialogs/HostUi.h"
#include "host/models/Convert.h"
#include "host/screens/Consiste.h"
#include "host/events/EventHelpers.h"
#include "requisition/TfrmPedReq.h"

namespace krv::requisition {

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

void TfrmPedReq::connectBranchPeriod() {
    ConnectGuarded(medCdFilial, &QLineEdit::textChanged, this,
                   [this](const QString&) { medCdFilialChange(medCdFilial); });
    OnExit(medCdFilial, [this] { medCdFilialExit(medCdFilial); });
    ConnectGuarded(btpFilial, &QAbstractButton::clicked, this, [this](bool) { btpFilialClick(btpFilial); });
    SetShortcut(btpFilial, Qt::Key_F2, medCdFilial);
    BindDateEdit(
        depDataInic, this, [this] { depDataInicChange(depDataInic); }, [this] { depDataInicDateChange(depDataInic); });
    BindDateEdit(
        depDataFina, this, [this] { depDataFinaChange(depDataFina); }, [this] { depDataFinaDateChange(depDataFina); });
}

void TfrmPedReq::VdFilial(bool flag) {
    if (EmptyString(medCdFilial->text())) {
        if (flag) reportFailure(medCdFilial, "FILIAL_N_INF");
        return;
    }
    if (filtro.boFilialValidada) return;

    const QString adjusted = Ajusta(medCdFilial->text(), ajRequisitionBranch);
    if (adjusted != medCdFilial->text()) medCdFilial->setText(adjusted);
    // The lookup must answer for exactly the typed code, and "T" would answer every branch.
    if (!PodeSerFilial(adjusted)) reportFailure(medCdFilial, "FILIAL_N_CAD");
    getFilial(adjusted);
    if (cdsFilial.IsEmpty()) reportFailure(medCdFilial, "FILIAL_N_CAD");

    edtNmFilial->setText(ToQString(cdsFilial.FieldByName("NMFILIAL").AsString()));
    filtro.boFilialValidada = true;
    habilitacaoFilialOL(cdsFilial.FieldByName("OL").AsString() == "S");
}

void TfrmPedReq::getFilial(const QString& code) {
    WithBusy([&] {
        QString arg = code;
        const Variant result = netPedReq.Call("GetFilial", {Ref(arg)});
        cdsFilial.SetData(CheckResultServ(result, true, 0));
    });
}

void TfrmPedReq::btpFilialClick(QObject*) {
    evitaErrosFoco();
    getFilial("T");
    if (cdsFilial.IsEmpty()) reportFailure(medCdFilial, "N_HA_FILIAL");
    cdsFilial.Locate("CDFILIAL", ToVariant(medCdFilial->text()));  // opens on the branch in the field
    if (!HostUi::instance().pesquisar(cdsFilial, msgPadrao.Msg("FILIAL"))) return;

    const QString code = ToQString(cdsFilial.FieldByName("CDFILIAL").AsString());
    const QString name = ToQString(cdsFilial.FieldByName("NMFILIAL").AsString());
    const bool isOL = cdsFilial.FieldByName("OL").AsString() == "S";
    {
        // The chosen branch needs no lookup: writing it must not set one off.
        ExitDetached detached(medCdFilial);
        medCdFilial->setText(code);
        edtNmFilial->setText(name);
    }
    filtro.boFilialValidada = true;
    habilitacaoFilialOL(isOL);
}

void TfrmPedReq::medCdFilialChange(QObject*) {
    edtNmFilial->clear();
    // The forecast on offer and the last summary were the last branch's.
    sbtVerPrevisao->setEnabled(false);
    HostUi::instance().showStatus(QString());
    rbtTodosServ->setChecked(true);
    rbtTAgrupProd->setChecked(true);
    filtro.boFilialValidada = false;
}

void TfrmPedReq::medCdFilialExit(QObject*) { VdFilial(false); }

void TfrmPedReq::VdPeriodo() {
    if (depDataInic->IsEmpty()) reportFailure(depDataInic, "DATAINI_N_INF");
    if (depDataFina->IsEmpty()) reportFailure(depDataFina, "DATAFIN_N_INF");
    if (depDataFina->GetDate() < depDataInic->GetDate()) reportFailure(depDataInic, "DATAINI>DATAFIN");
}

// The buttons take no focus, so the exit handler of the field being typed in has not run
// when their click arrives: the guard does that field's checking first.
void TfrmPedReq::evitaErrosFoco() {
    evitaDataInvalida();
    evitaFilErrada();
}

void TfrmPedReq::evitaDataInvalida() {
    // A date being typed is reported before the other one.
    if (depDataInic->hasFocus()) depDataInic->CheckValidDate();
    if (depDataFina->hasFocus()) depDataFina->CheckValidDate();
    depDataInic->CheckValidDate();
    depDataFina->CheckValidDate();
}

// A logistic-operator branch found here switches the screen to the forecast, which disables
// the button whose click runs the guard (any but the branch picker): its action no longer
// applies. The forecast button's state is the mode.
void TfrmPedReq::evitaFilErrada() {
    if (!medCdFilial->hasFocus()) return;
    VdFilial(false);
    const auto* clicked = qobject_cast<const QAbstractButton*>(sender());
    if (clicked && !clicked->isEnabled() && sbtCalcPrevCons->isEnabled()) reportFailure(medCdFilial, "FILIAL_OL");
}

void TfrmPedReq::depDataInicChange(QObject*) { edtDataInic->clear(); }
void TfrmPedReq::depDataFinaChange(QObject*) { edtDataFina->clear(); }
void TfrmPedReq::depDataInicDateChange(QObject*) {
    ShowWeekday(depDataInic, edtDataInic);
    atualizaVerPrevisao();
}

void TfrmPedReq::depDataFinaDateChange(QObject*) {
    ShowWeekday(depDataFina, edtDataFina);
    atualizaVerPrevisao();
}

}  // namespace krv::requisition
