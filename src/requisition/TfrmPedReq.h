#pragma once
#include <QString>
#include <optional>

#include "core/ClientDataSet.h"
#include "core/DateTime.h"
#include "host/screens/FrmDadosGerRel.h"
#include "host/session/NetConnection.h"
#include "ui_TfrmPedReq.h"

// The requisition screen (KRV52000): the whole filter of the module — branch, period,
// selections of services, product groupings and shifts, report options, consumption types
// and ordering — and the actions on it. The controls come from TfrmPedReq.ui and keep the
// names the order-generation screen reads through frmPedReq.
class TfrmPedReq : public krv::host::TfrmDadosGerRel, public Ui::TfrmPedReq {
    Q_OBJECT
public:
    explicit TfrmPedReq(QWidget* parent = nullptr);
    ~TfrmPedReq() override;

    void FormCreate() override;
    void FormClose(QObject* Sender, int& Action) override;
    void Inicializacao();
    void netPedReqBeforeConnect(krv::host::TNetConnection& Sender);

    // Validates the branch code; `flag` makes an empty code an error.
    void VdFilial(bool flag);
    // Loads cdsFilial for a branch code, or for every branch with "T".
    void getFilial(const QString& code);
    void medCdFilialChange(QObject* Sender);
    void medCdFilialExit(QObject* Sender);
    // Switches the screen between logistic-operator branches and the others.
    void habilitacaoFilialOL(bool isOL);

    void depDataInicChange(QObject* Sender);
    void depDataFinaChange(QObject* Sender);
    void depDataInicDateChange(QObject* Sender);
    void depDataFinaDateChange(QObject* Sender);

    krv::host::TNetConnection netPedReq;
    krv::TClientDataSet cdsFilial;  // the branch picker's data source is the data set itself

    // Hidden filter state.
    QString chavesServico;
    QString chavesTurno;
    QString nrListaServ;
    QString cdFilialListaServ;
    QString chavesListaServ;
    QString nrListaTurno;
    QString cdFilialListaTurno;
    QString chavesServListaTurno;
    QString chavesTurnoListaTurno;
    bool boFilialValidada = false;
    QString cdFilialListaCalc;
    QString nrListaCalc;
    QString chavesAgrupProd;

private:
    void applyFormProperties();
    void placeToolButtons();
    void connectHandlers();
    // Gives the focus to `control`, shows the text of `key` as an error and ends the action.
    [[noreturn]] void reportFailure(QWidget* control, const char* key);
};
