#pragma once
#include <QString>

#include "core/ClientDataSet.h"
#include "host/FrmDadosGerRel.h"
#include "host/NetConnection.h"
#include "ui_TfrmPedReq.h"

namespace krv::requisition {

// What the user chose on the requisition screen beyond what its controls show: the marked keys
// of the three selections, the server-held lists that stand for them together with the branch
// and selection each was obtained for, and the last calculation's list. The order-generation
// screen reads it through frmPedReq. While a group is on "Todos" its key list is empty.
struct FiltroPedReq {
    QString chavesServico;
    QString chavesTurno;
    QString nrListaServ;
    QString cdFilialListaServ;
    QString chavesListaServ;
    QString nrListaTurno;
    QString cdFilialListaTurno;
    QString chavesServListaTurno;
    QString chavesTurnoListaTurno;
    bool boFilialValidada = false;  // the code in medCdFilial was looked up and found
    QString cdFilialListaCalc;
    QString nrListaCalc;
    QString chavesAgrupProd;
};

// The requisition screen (KRV52000): the whole filter of the module — branch, period,
// selections of services, product groupings and shifts, report options, consumption types
// and ordering — and the actions on it. The controls come from TfrmPedReq.ui and keep the
// names the order-generation screen reads through frmPedReq.
//
// The behaviour is split by concern over several files: creation, close and wiring here in
// TfrmPedReq.cpp; branch and period in TfrmPedReqBranchPeriod.cpp.
class TfrmPedReq : public host::TfrmDadosGerRel, public Ui::TfrmPedReq {
    Q_OBJECT
public:
    explicit TfrmPedReq(QWidget* parent = nullptr);
    ~TfrmPedReq() override;

    void FormCreate() override;
    void FormClose(QObject* Sender, int& Action) override;

    const FiltroPedReq& Filtro() const { return filtro; }
    // Validates the branch code; `flag` makes an empty code an error.
    void VdFilial(bool flag);

    host::TNetConnection netPedReq;

private:
    // Creation, close and wiring (TfrmPedReq.cpp).
    void applyFormProperties();
    void placeToolButtons();
    void declareDataSets();
    void Inicializacao();
    void netPedReqBeforeConnect(host::TNetConnection& Sender);
    // Gives the focus to `control`, shows the text of `key` as an error and ends the action.
    [[noreturn]] void reportFailure(QWidget* control, const char* key);

    // Branch and period (TfrmPedReqBranchPeriod.cpp).
    void connectBranchPeriod();
    void getFilial(const QString& code);  // a branch code, or "T" for every branch
    void medCdFilialChange(QObject* Sender);
    void medCdFilialExit(QObject* Sender);
    void habilitacaoFilialOL(bool isOL);
    void depDataInicChange(QObject* Sender);
    void depDataFinaChange(QObject* Sender);
    void depDataInicDateChange(QObject* Sender);
    void depDataFinaDateChange(QObject* Sender);

    FiltroPedReq filtro;
    TClientDataSet cdsFilial;  // a picker's data source is the data set itself
};

}  // namespace krv::requisition
