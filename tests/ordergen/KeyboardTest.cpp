// Every button of the order screen answers a key named in its tooltip.
#include "ordergen/OrderFixture.h"
#include "ordergen/TfrmGerarPedReq.h"
#include "support/ButtonKeys.h"

using namespace krv;

namespace {

class OrderKeyboard : public test::OrderFixture {};

TEST_F(OrderKeyboard, EveryButtonAnswersAKeyNamedInItsTooltip) {
    openOrder();
    order->chbServico->setChecked(false);  // consolidated: code, search and confirmation usable
    order->chbFilial->setChecked(false);
    ui.cancelPick();
    ui.cancelPick();
    ui.cancelList();
    ui.answerFind(0);
    const std::vector<test::ButtonKey> keys{
        {order->btpServico, order->medCdServico, Qt::Key_F2},
        {order->btpFilial, order->medCdFilial, Qt::Key_F2},
        {order->sbtFilial, order->rbtLFilial, Qt::Key_F2},
        {order->sbtProcurar, order->dbgRequisicoes, Qt::Key_F3},
        {order->sbtMarcaTodas, order->dbgRequisicoes, QKeySequence(Qt::CTRL | Qt::Key_A)},
        {order->sbtCancelaPedido, order->dbgRequisicoes, Qt::Key_F8},  // no order chosen yet
        {order->sbtConfirma, order->dbgRequisicoes, Qt::Key_F10},      // ends asking for the service
        {order->findChild<QAbstractButton*>("sbtPedidos"), order->dbgRequisicoes, Qt::Key_F9},
        {order->findChild<QAbstractButton*>("sbtAtualizar"), order->dbgRequisicoes, Qt::Key_F5},
    };
    test::ExpectButtonKeys(order, keys);
    EXPECT_EQ(ui.pickersShown.size(), 4u);
    EXPECT_EQ(ui.errors(),
              (QStringList{"Marque as requisições dos pedidos a cancelar.", "Serviço deve ser informado."}));
    EXPECT_TRUE(ui.allAnswersUsed());
}

}  // namespace
