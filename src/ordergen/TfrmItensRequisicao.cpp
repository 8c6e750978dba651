#include "ordergen/TfrmItensRequisicao.h"

#include "host/dialogs/HostUi.h"
#include "host/models/DataSetModel.h"
#include "host/screens/Consiste.h"
#include "host/events/EventHelpers.h"
#include "host/session/DBPicture.h"
#include "host/session/NetConnection.h"
#include "requisition/ExplanationGrid.h"

namespace krv::ordergen {

using namespace krv::host;

TfrmItensRequisicao::TfrmItensRequisicao(TNetConnection& net, int64_t nrRequisicao, const QString& descricao,
                                         QWidget* parent)
    : QDialog(parent), net(net), nrRequisicao(nrRequisicao) {
    setupUi(this);
    lblRequisicao->setText(lblRequisicao->text().arg(nrRequisicao).arg(descricao));
    itensModel =
        std::make_unique<DataSetModel>(cdsItens, std::vector<GridColumn>{{"CDPRODUTO", "Produto", 86},
                                                                         {"NMPRODUTO", "Descrição", 220},
                                                                         {"SGUNIDADE", "Unid.", 44},
                                                                         {"QTMATERIAPRIMA", "Matéria-Prima", 96},
                                                                         {"QTCONSUMOFIXO", "Consumo Fixo", 96},
                                                                         {"QTPERCAPITA", "Per Capita", 96},
                                                                         {"QTTOTAL", "Total", 90}});
    itensModel->setFormat("CDPRODUTO", ProductCodeFormat());
    explicacaoModel = std::make_unique<DataSetModel>(cdsExplicacao, requisition::ExplanationColumns());
    SetupGrid(*dbgItens, *itensModel);
    SetupGrid(*dbgExplicacao, *explicacaoModel);
    connect(itensModel.get(), &DataSetModel::currentRowChanged, this,
            [this](int row) { Guard([&] { dbgItensRowChanged(row); }); });
    getItens();
}

TfrmItensRequisicao::~TfrmItensRequisicao() = default;

void TfrmItensRequisicao::getItens() {
    WithBusy([&] { cdsItens.SetData(CheckResultServ(net.Call("GetProdutosRequisicao", {nrRequisicao}), true, 0)); });
    dbgItensRowChanged(0);  // the cursor starts on the first item, which is thus chosen
}

void TfrmItensRequisicao::dbgItensRowChanged(int) {
    if (cdsItens.IsEmpty()) return;
    WithBusy([&] {
        cdsExplicacao.SetData(CheckResultServ(
            net.Call("ExplicaItemRequisicao", {nrRequisicao, cdsItens.FieldByName("CDPRODUTO").Value()}), true, 0));
    });
}

}  // namespace krv::ordergen
