#pragma once
#include <QDialog>
#include <QString>
#include <memory>

#include "core/ClientDataSet.h"
#include "ui_TfrmExplicaLinhaPedido.h"

namespace krv::host {
class DataSetModel;
class TNetConnection;
}  // namespace krv::host

namespace krv::ordergen {

// Why an order line buys what it buys: the need, what stock and earlier packages met, what
// passed its shelf life, the rounding to packages, the total bought, as the server explains
// it. Read only; Esc closes it. The controls come from TfrmExplicaLinhaPedido.ui.
class TfrmExplicaLinhaPedido : public QDialog, public Ui::TfrmExplicaLinhaPedido {
    Q_OBJECT
public:
    // Asks the server at once; `produto` is the line's product code as stored, `descricao`
    // names it for the user.
    TfrmExplicaLinhaPedido(host::TNetConnection& net, int64_t pedido, const Variant& produto, const QString& descricao,
                           QWidget* parent = nullptr);
    ~TfrmExplicaLinhaPedido() override;

    TClientDataSet cdsExplicacao;

private:
    // Declared after its data set, so it goes first.
    std::unique_ptr<host::DataSetModel> explicacaoModel;
};

}  // namespace krv::ordergen
