#pragma once
#include <QString>
#include <functional>

#include "core/ClientDataSet.h"
#include "core/Errors.h"
#include "host/screens/FrmDadosGerRel.h"
#include "host/session/NetConnection.h"
#include "ui_TfrmPedReq.h"

class QRadioButton;

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
// TfrmPedReq.cpp; branch and period in TfrmPedReqBranchPeriod.cpp; the three selections in
// TfrmPedReqSelections.cpp; the server-held lists in TfrmPedReqServerLists.cpp; options and
// the full validation in TfrmPedReqOptions.cpp; the requisition calculation, the consumption
// forecast and the logistic-operator mode in TfrmPedReqCalculation.cpp; the report actions
// and the report's query parameters in TfrmPedReqReport.cpp; the branch's stock in
// TfrmPedReqStock.cpp.
class TfrmPedReq : public host::TfrmDadosGerRel, public Ui::TfrmPedReq {
    Q_OBJECT
public:
    explicit TfrmPedReq(QWidget* parent = nullptr);
    ~TfrmPedReq() override;

    void FormCreate() override;
    void FormClose(QObject* Sender, int& Action) override;

    // The report actions: each validates the filter and, when asked, calculates first.
    void sbtPrintClick(QObject* Sender) override;
    void sbtPreviewClick(QObject* Sender) override;
    void sbtSalvarComoClick(QObject* Sender) override;
    void sbtConfigImprClick(QObject* Sender) override;
    void sbtReportEditClick(QObject* Sender) override;
    // Fills the parameters the report's query takes from the filter; those it does not
    // take are neither computed nor asked of the server.
    void rpddPadraoBeforeGetQueryParams(TParams& Params, bool& flag);

    const FiltroPedReq& Filtro() const { return filtro; }

    // The whole filter, checked before every calculation, report action and order generation:
    // returns only when it is valid; otherwise the first fault has been reported and the
    // action ends.
    void ValidaFiltroRelatorio();
    // Numbers of the server-held lists of the current service and shift selections, asked of
    // the server only when the branch or the selection changed since the last time.
    QString getNrListaServ();
    QString getNrListaTurno();
    // Runs `work`, which uses the screen's list numbers. A screen left open for days may hold
    // numbers of lists the server has since purged: such a failure forgets the numbers and
    // runs `work` once more, with new lists and no message.
    template <class Work>
    decltype(auto) renovandoListas(Work&& work) {
        try {
            return work();
        } catch (const EServerError& e) {
            if (!isListaPerdida(e.what())) throw;
        }
        esqueceListas();
        return work();
    }

    host::TNetConnection netPedReq;
    // "Calcular Requisições das Filiais" (F4, logistic operators only) and "Pedidos Gerados" (F3).
    host::TButtonFlat* sbtCalcReqFiliais = nullptr;
    host::TButtonFlat* sbtPedidos = nullptr;
    // "Saldo da Filial" (Ctrl+E).
    host::TButtonFlat* sbtSaldoFilial = nullptr;

private:
    // Creation, close and wiring (TfrmPedReq.cpp).
    void applyFormProperties();
    void placeToolButtons();
    void declareDataSets();
    void Inicializacao();
    void netPedReqBeforeConnect(host::TNetConnection& Sender);
    void sbtGerarPedidoClick(QObject* Sender);
    // Gives the focus to `control`, shows the text of `key` as an error and ends the action.
    [[noreturn]] void reportFailure(QWidget* control, const char* key);

    // Branch and period (TfrmPedReqBranchPeriod.cpp).
    void connectBranchPeriod();
    void VdFilial(bool flag);             // `flag` makes an empty code an error
    void getFilial(const QString& code);  // a branch code, or "T" for every branch
    void btpFilialClick(QObject* Sender);
    void medCdFilialChange(QObject* Sender);
    void medCdFilialExit(QObject* Sender);
    void VdPeriodo();
    void depDataInicChange(QObject* Sender);
    void depDataFinaChange(QObject* Sender);
    void depDataInicDateChange(QObject* Sender);
    void depDataFinaDateChange(QObject* Sender);
    void evitaErrosFoco();
    void evitaDataInvalida();
    void evitaFilErrada();

    // Services, product groupings and shifts (TfrmPedReqSelections.cpp).
    void connectSelections();
    void rbtTodosServClick(QObject* Sender);
    void rbtTAgrupProdClick(QObject* Sender);
    void rbtTTurnoClick(QObject* Sender);
    void getServico();
    void getAgrupProd();
    void getTurno();
    void sbtServicoClick(QObject* Sender);
    void sbtAgrupProdClick(QObject* Sender);
    void sbtTurnoClick(QObject* Sender);
    void VdServico();
    void VdAgrupProd();
    void VdTurno();
    // "T" while the group's "Todos" is checked, otherwise its key list.
    QString selecaoServico() const;
    QString selecaoTurno() const;
    // Loads `cds` from a server method that takes the validated branch code.
    void loadForBranch(const char* method, TClientDataSet& cds);
    // Opens the list picker over `cds`, marking the rows of `keys` and writing back the marks.
    void pickKeys(TClientDataSet& cds, const char* titleKey, const char* emptyKey, QString& keys);
    // Reports `key` on `lista` when that "Lista" radio is checked and nothing is marked.
    void checkMarked(QRadioButton* lista, const QString& keys, const char* key);

    // Server-held lists (TfrmPedReqServerLists.cpp).
    void apagaListas();
    void forgetListKeys();  // the next list use asks the server again
    void esqueceListas();   // the numbers too: the server no longer has them
    static bool isListaPerdida(const char* message);
    ReportData FetchReport() override;

    // Report options and consumption types (TfrmPedReqOptions.cpp).
    void connectOptions();
    void chbLinhasBrancoClick(QObject* Sender);
    void rbtOrdenaCodClick(QObject* Sender);
    void nedAcrescKeyPress(QObject* Sender, QChar& Key);
    void nedLinhasBrancoKeyPress(QObject* Sender, QChar& Key);
    void VdTipoConsumo();

    // Calculation, forecast and logistic-operator mode (TfrmPedReqCalculation.cpp).
    void connectCalculation();
    // A logistic-operator branch allows only the forecast; any other branch everything else.
    void habilitacaoFilialOL(bool isOL);
    void sbtCalcReqClick(QObject* Sender);
    void calculaRequisicoes();
    void calculaComLista(QString& arredonda, QString& tiposConsumo);
    void informaCalculo(const Variant::Array& result);
    void sbtCalcPrevConsClick(QObject* Sender);
    void calculaPrevisaoConsumo();
    // "Ver Previsão" (TfrmPedReqForecastView.cpp): on for an operator whose forecast of the
    // period exists, and opens it without blocking the screen.
    bool existePrevisao();
    // Asked again when a date of the period changes.
    void atualizaVerPrevisao();
    void sbtVerPrevisaoClick(QObject* Sender);
    // Runs `call`; a failure whose text is a key of msgPadrao is shown in the table's words.
    void translatingFailures(const std::function<void()>& call);

    // Every kitchen of a logistic operator and the orders window (TfrmPedReqKitchens.cpp).
    void connectKitchens();
    void sbtCalcReqFiliaisClick(QObject* Sender);
    void sbtPedidosClick(QObject* Sender);

    // The branch's stock and counts (TfrmPedReqStock.cpp).
    void connectStock();
    void sbtSaldoFilialClick(QObject* Sender);

    // Report (TfrmPedReqReport.cpp).
    void connectReport();
    void PreparaImpressao();

    FiltroPedReq filtro;
    TClientDataSet cdsFilial;  // a picker's data source is the data set itself
    TClientDataSet cdsServico;
    TClientDataSet cdsAgrupProd;
    TClientDataSet cdsTurno;
};

}  // namespace krv::requisition
