#include "ordergen/TfrmExplicaLinhaPedido.h"

#include "host/dialogs/HostUi.h"
#include "host/models/DataSetModel.h"
#include "host/screens/Consiste.h"
#include "host/session/NetConnection.h"
#include "requisition/ExplanationGrid.h"

namespace krv::ordergen {

using namespace krv::host;

TfrmExplicaLinhaPedido::TfrmExplicaLinhaPedido(TNetConnection& net, int64_t pedido, const Variant& produto,
                                               const QString& descricao, QWidget* parent)
    : QDialog(parent) {
    setupUi(this);
    lblLinha->setText(lblLinha->text().arg(pedido).arg(descricao));
    explicacaoModel = std::make_unique<DataSetModel>(cdsExplicacao, requisition::ExplanationColumns());
    SetupGrid(*dbgExplicacao, *explicacaoModel);
    WithBusy([&] {
        cdsExplicacao.SetData(CheckResultServ(net.Call("ExplicaItemPedido", {pedido, produto}), true, 0));
    });
}

TfrmExplicaLinhaPedido::~TfrmExplicaLinhaPedido() = default;

}  // namespace krv::ordergen
