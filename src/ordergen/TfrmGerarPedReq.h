#pragma once
#include <QString>
#include <QStringList>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/ClientDataSet.h"
#include "host/screens/FrmRotiGeral.h"
#include "ui_TfrmGerarPedReq.h"

class QCheckBox;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QToolButton;

namespace krv::host {
class DataSetModel;
class TMaskEdit;
}  // namespace krv::host

namespace krv::ordergen {

// The order-generation screen (KRV52010): the requisitions of the branches and period chosen
// on the requisition screen, marked by the user, from which the server generates purchase
// orders. It has no connection and no period or shift filter of its own: it reads them, and
// calls the server, through frmPedReq, whose state cannot change while this modal screen is
// open. The controls come from TfrmGerarPedReq.ui.
//
// The behaviour is split by concern: creation, close, the list and its marking here in
// TfrmGerarPedReq.cpp; the branch filter and the consolidation settings in
// TfrmGerarPedReqFilters.cpp; the confirmation and the generation in
// TfrmGerarPedReqGeneration.cpp; the cancelling of orders in
// TfrmGerarPedReqCancellation.cpp.
class TfrmGerarPedReq : public host::TfrmRotiGeral, public Ui::TfrmGerarPedReq {
    Q_OBJECT
public:
    explicit TfrmGerarPedReq(QWidget* parent = nullptr);
    ~TfrmGerarPedReq() override;

    void FormCreate() override;
    void FormClose(QObject* Sender, int& Action) override;

    // The branch filter sent with every load of the list: "_", then each code followed by "_".
    const QString& ChavesFilial() const { return chavesFilial; }
    // The server-held list of the requisitions last sent for generation; empty before that.
    const QString& NrListaRequiPedido() const { return nrListaRequiPedido; }

    // The list as the grid and the find dialog see it; the screen writes only IDMARCADO.
    TClientDataSet cdsRequisicoes;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Creation, list and marking (TfrmGerarPedReq.cpp).
    void applyFormProperties();
    void declareDataSets();
    void setupGrid();
    void getRequisicoes();

public:
    // A requisition's mark, and the order it had when marked.
    struct Marca {
        Variant marca;
        std::string pedido;
    };

private:
    // The marks of the list by requisition number, and the requisition under the cursor.
    struct Selecao {
        std::map<double, Marca> marcas;
        std::optional<double> atual;
    };
    Selecao selecaoAtual() const;
    // The counts under the grid: listed, marked and ordered rows.
    void mostraSituacao();
    void habilitaBotoes();
    bool EstaMarcado();
    bool pedidoJaGerado();
    struct OpenRows {
        int all = 0;
        int marked = 0;
    };
    // Counted over every row, whatever the grid's cursor and filter.
    OpenRows contaAbertas() const;
    // Whether a row of the list has no order yet (and, with `marcada`, is marked).
    std::function<bool(const Row&)> aberta(bool marcada) const;
    void marcaRequisicao();
    void marcaTodasRequisicoes();
    void dbgRequisicoesCellClick(int column);
    void dbgRequisicoesTitleClick(int column);
    // True when the key was taken: the grid does nothing more with it.
    bool dbgRequisicoesKeyDown(const QKeyEvent& key);
    void sbtProcurarClick(QObject* Sender);
    // The current requisition's items and their make-up (TfrmGerarPedReqItems.cpp).
    void abreItensRequisicao();
    QString nomeFilial(const QString& codigo);
    // "Pedidos Gerados" (F9), on the orders of the last generation when there was one.
    void connectPedidos();
    void abrePedidos();
    void sbtAtualizarClick();
    QString filialDosPedidos() const;
    // So that the requisition screen's F3 opens on them too, after this screen is gone.
    void lembraGeracao();
    int64_t primeiroGerado = 0, ultimoGerado = 0;
    // Gives the focus to `control`, shows the text of `key` as an error and ends the action.
    [[noreturn]] void reportFailure(QWidget* control, const char* key);

    // Branch filter and consolidation (TfrmGerarPedReqFilters.cpp).
    void connectFilters();
    void chbServicoClick(QObject* Sender);
    void chbFilialClick(QObject* Sender);
    void btpServicoClick(QObject* Sender);
    void btpFilialClick(QObject* Sender);
    void medCdServicoExit(QObject* Sender);
    void medCdFilialExit(QObject* Sender);
    void rbtTFilialClick(QObject* Sender);
    void rbtLFilialClick(QObject* Sender);
    void sbtFilialClick(QObject* Sender);
    void aplicaFiliais();
    void depDataInicDateChange(QObject* Sender);
    void depDataFinaDateChange(QObject* Sender);
    // One axis of consolidation, service or branch: its controls, its lookup list and how
    // that list is loaded, its texts.
    struct Consolidation {
        QCheckBox* perItem;
        QLabel* label;
        host::TMaskEdit* code;
        QToolButton* picker;
        QLineEdit* name;
        TClientDataSet& list;
        int ajustaKind;
        const char* codeField;
        const char* nameField;
        const char* titleKey;
        const char* emptyKey;
        const char* notInformedKey;
        const char* notFoundKey;
        std::function<void()> load;
    };
    Consolidation servico();
    Consolidation filial();
    // Services of the requisition screen's branch into cdsServico; every branch into `cds`.
    void getServico();
    void getFilial(TClientDataSet& cds);
    // The typed code found in its lookup list, loaded first while empty; the row found
    // becomes current.
    bool locateTyped(const Consolidation& c);
    void applyConsolidation(const Consolidation& c);
    void pickConsolidation(const Consolidation& c);
    void lookUpTyped(const Consolidation& c);

    // Confirmation and generation (TfrmGerarPedReqGeneration.cpp).
    void sbtConfirmaClick(QObject* Sender) override;
    void checkConsolidation(const Consolidation& c);
    void GeraPedidoPorRequisicao();
    void getNrListaRequiPedido(QString& nrLista);
    void apagaListaRequiPedido();
    // The call of the generation or its preview, with the same arguments.
    Variant chamaGeracao(const char* metodo, const QString& nrLista);
    // The orders the generation would make, shown for the user to go on or stop.
    bool confirmaPrevia(const QString& nrLista);
    QString resumoGeracao(const Variant& feitos) const;

    // Cancelling orders (TfrmGerarPedReqCancellation.cpp).
    void sbtCancelaPedidoClick(QObject* Sender);
    // Order numbers, in list order, with the branch of their requisitions.
    struct PedidosDaFilial {
        QString filial;
        QStringList numeros;
    };
    struct PedidosSelecionados {
        QStringList numeros;  // in list order
        std::vector<PedidosDaFilial> porFilial;
    };
    // The orders of the marked rows, else of the current row; empty: none.
    PedidosSelecionados pedidosSelecionados();

    QString chavesFilial;
    QString chavesLidas;  // the branch keys of the list shown
    QString nrListaRequiPedido;
    TClientDataSet cdsFilial;  // a picker's data source is the data set itself
    TClientDataSet cdsServico;
    TClientDataSet cdsListaFilial;
    // Declared after the list it shows, so it goes first.
    std::unique_ptr<host::DataSetModel> requisicoesModel;
};

}  // namespace krv::ordergen
