// The report options, the consumption types and the full validation of the filter.
#include <QAbstractButton>

#include "host/events/EventHelpers.h"
#include "requisition/TfrmPedReq.h"

namespace krv::requisition {

using namespace krv::host;

namespace {

// Neither a negative number nor one in exponent form can be typed.
bool IsSignOrExponent(QChar key) { return key == '-' || key == 'E' || key == 'e'; }

}  // namespace

void TfrmPedReq::connectOptions() {
    ConnectGuarded(chbLinhasBranco, &QAbstractButton::toggled, this,
                   [this](bool) { chbLinhasBrancoClick(chbLinhasBranco); });
    for (QAbstractButton* radio : {rbtOrdenaCod, rbtOrdenaAlfab})
        ConnectGuarded(radio, &QAbstractButton::toggled, this, [this, radio](bool checked) {
            if (checked) rbtOrdenaCodClick(radio);
        });
    nedAcresc->OnKeyPress = [this](QChar& key) { nedAcrescKeyPress(nedAcresc, key); };
    nedLinhasBranco->OnKeyPress = [this](QChar& key) { nedLinhasBrancoKeyPress(nedLinhasBranco, key); };
}

void TfrmPedReq::chbLinhasBrancoClick(QObject*) { nedLinhasBranco->setEnabled(chbLinhasBranco->isChecked()); }

void TfrmPedReq::rbtOrdenaCodClick(QObject*) { sedNiveOrde->setEnabled(rbtOrdenaAlfab->isChecked()); }

void TfrmPedReq::nedAcrescKeyPress(QObject*, QChar& Key) {
    if (IsSignOrExponent(Key)) Key = QChar(0);
}

// At most three digits are typed; a selected part may still be typed over.
void TfrmPedReq::nedLinhasBrancoKeyPress(QObject*, QChar& Key) {
    const bool full = nedLinhasBranco->text().size() == 3 && !nedLinhasBranco->hasSelectedText();
    if (IsSignOrExponent(Key) || (full && Key >= '0' && Key <= '9')) Key = QChar(0);
}

void TfrmPedReq::VdTipoConsumo() {
    if (!chbMateriaPrima->isChecked() && !chbConsumoFixo->isChecked() && !chbConsumoPerCapita->isChecked())
        reportFailure(chbMateriaPrima, "TIPOCONSUMO_N_INF");
}

// The first fault ends the action, so at most one message is shown.
void TfrmPedReq::ValidaFiltroRelatorio() {
    evitaErrosFoco();
    VdFilial(true);
    VdPeriodo();
    VdServico();
    VdAgrupProd();
    VdTurno();
    VdTipoConsumo();
}

}  // namespace krv::requisition
