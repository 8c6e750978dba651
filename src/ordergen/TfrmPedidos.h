#pragma once
#include <QDate>
#include <QString>
#include <memory>

#include "core/ClientDataSet.h"
#include "core/DateTime.h"
#include "host/screens/FrmDadosGerRel.h"
#include "ui_TfrmPedidos.h"

namespace krv::host {
class DataSetModel;
class TNetConnection;
}  // namespace krv::host

namespace krv::ordergen {

// "Pedidos Gerados": the orders the operator generated, filtered by period, kitchen or
// logistic operator ("T" for all) and situation; the current order's lines with needed, from
// stock, ordered, surplus and received; the current line's requisition items, each explained
// one keystroke away (F3), and the line's own make-up (F9: stock, surplus, shelf life). The
// current order is received (F4), as ordered or with the quantities delivered. The selected
// orders are cancelled, marked sent, or printed, previewed and saved as PDF or CSV through the
// report engine (KRV521), after which marking them sent is offered; or the logistic
// operator's pick list of the period (KRV522) is.
// The controls come from TfrmPedidos.ui; the base screen gives the report buttons.
class TfrmPedidos : public host::TfrmDadosGerRel, public Ui::TfrmPedidos {
    Q_OBJECT
public:
    TfrmPedidos(host::TNetConnection& net, const QString& filial, DateTime inicio, DateTime fim,
                QWidget* parent = nullptr);
    ~TfrmPedidos() override;

    // A window of its own over `parent`, deleted on close, listing at once; `primeiro` and
    // `ultimo`, when not 0, select the orders just generated.
    static TfrmPedidos* Abre(host::TNetConnection& net, const QString& filial, DateTime inicio, DateTime fim,
                             QWidget* parent, int64_t primeiro = 0, int64_t ultimo = 0);

    void sbtAtualizarClick();
    void sbtCancelarPedidosClick();
    void sbtMarcarEnviadosClick();
    void sbtExplicarClick();
    // Receiving the current order and explaining its current line (TfrmPedidosRecebimento.cpp).
    void sbtReceberClick();
    void sbtExplicarLinhaClick();
    void sbtPrintClick(QObject* Sender) override;
    void sbtPreviewClick(QObject* Sender) override;
    void sbtSalvarComoClick(QObject* Sender) override;

    // "_1_2_" of the selected orders (the current one when none is selected); "" when empty.
    QString PedidosSelecionados();
    void SelecionaPedidos(int64_t primeiro, int64_t ultimo);

    // Checked, the report buttons print the logistic operator's pick list (KRV522) of the
    // period instead of the selected orders.
    QCheckBox* chbSeparacao = nullptr;

    TClientDataSet cdsPedidos;
    TClientDataSet cdsItensPedido;
    TClientDataSet cdsRequisicoesPedido;

    void FormClose(QObject* Sender, int& Action) override;

signals:
    // As the window closes, when orders were cancelled or marked sent in it: lists of
    // requisitions elsewhere are stale.
    void pedidosAlterados();

private:
    void dbgPedidosRowChanged();
    void dbgItensRowChanged();
    void preencheParametros(TParams& params);
    void connectSeparacao();
    void chbSeparacaoClick();
    // After printing or saving: the printed orders may be marked sent at once.
    void ofereceMarcarEnviados(const QString& pedidos);
    void marcaEnviados(const QString& pedidos);
    QString filialInformada();
    // On for an active or sent order, when the role may receive.
    void habilitaReceber();

    host::TNetConnection& net;
    bool alterados = false;
    // Declared after their data sets, so they go first.
    std::unique_ptr<host::DataSetModel> pedidosModel;
    std::unique_ptr<host::DataSetModel> itensModel;
    std::unique_ptr<host::DataSetModel> requisicoesModel;
};

}  // namespace krv::ordergen
