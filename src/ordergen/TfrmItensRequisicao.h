#pragma once
#include <QDialog>
#include <QString>
#include <memory>

#include "core/ClientDataSet.h"
#include "ui_TfrmItensRequisicao.h"

namespace krv::host {
class DataSetModel;
class TNetConnection;
}  // namespace krv::host

namespace krv::ordergen {

// The items of one requisition of the order screen, read-only: product, unit and the
// quantity of each consumption type; the current item's make-up below ("why this
// quantity?"). Esc closes it.
class TfrmItensRequisicao : public QDialog, public Ui::TfrmItensRequisicao {
    Q_OBJECT
public:
    // `descricao` names the requisition for the user (service, shift, day, grouping).
    TfrmItensRequisicao(host::TNetConnection& net, int64_t nrRequisicao, const QString& descricao,
                        QWidget* parent = nullptr);
    ~TfrmItensRequisicao() override;

    TClientDataSet cdsItens;
    TClientDataSet cdsExplicacao;

private:
    void getItens();
    void dbgItensRowChanged(int row);

    host::TNetConnection& net;
    int64_t nrRequisicao;
    // Declared after their data sets, so they go first.
    std::unique_ptr<host::DataSetModel> itensModel;
    std::unique_ptr<host::DataSetModel> explicacaoModel;
};

}  // namespace krv::ordergen
