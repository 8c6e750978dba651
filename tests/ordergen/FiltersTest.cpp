// The branch filter, applied when the focus leaves its group, and the consolidation service
// and branch, typed or picked and looked up on the server.
#include "ordergen/OrderFixture.h"
#include "ordergen/TfrmGerarPedReq.h"

using namespace krv;

namespace {

class Filters : public test::OrderFixture {
protected:
    // Enters the branch group on `radio` and checks it, as a click would.
    void choose(QAbstractButton* radio) {
        radio->setFocus(Qt::OtherFocusReason);
        radio->setChecked(true);
    }
    void leaveGroup() { leave(order->rbtLFilial, order->chbGerarPorTurno); }
    std::string loadedWith() { return lastArgs("getRequisicoes").at(0).asString(); }
};

TEST_F(Filters, TheBranchChoiceAppliesAtTheClickAndAnUnchangedOneAsksNothing) {
    openOrder();
    EXPECT_EQ(order->ChavesFilial(), "_0001_");

    choose(order->rbtTFilial);
    EXPECT_FALSE(order->sbtFilial->isEnabled());
    EXPECT_EQ(order->ChavesFilial(), "_0001_0002_0009_");
    EXPECT_EQ(getFilialArgs(), std::vector<std::string>{"T"});
    EXPECT_EQ(loadedWith(), "_0001_0002_0009_") << "read at the click, the focus still in the group";
    server.clearCalls();
    choose(order->rbtLFilial);
    EXPECT_TRUE(order->sbtFilial->isEnabled());
    leaveGroup();
    choose(order->rbtTFilial);
    EXPECT_TRUE(server.calls().empty()) << "\"Lista\" keeps every branch, and the list has them";

    // Picked branches apply when the picker closes; a cancelled picker changes nothing.
    choose(order->rbtLFilial);
    ui.cancelList();
    order->sbtFilial->click();
    EXPECT_EQ(server.methods(), std::vector<std::string>{"GetFilial"});
    server.clearCalls();
    ui.answerList("_0002_");
    order->sbtFilial->click();
    ASSERT_EQ(ui.pickersShown.size(), 2u);
    EXPECT_EQ(ui.pickersShown[1].title, "Filial");
    EXPECT_EQ(ui.pickersShown[1].keysBefore, "_0001_0002_0009_");
    EXPECT_EQ(loadedWith(), "_0002_");
    EXPECT_TRUE(ui.errors().isEmpty());
    EXPECT_TRUE(ui.allAnswersUsed());
}

TEST_F(Filters, ConsolidationCodesAreTypedOrPickedAndLookedUp) {
    openOrder();
    order->chbServico->setChecked(false);
    EXPECT_TRUE(order->medCdServico->isEnabled() && order->btpServico->isEnabled() && order->lblServico->isEnabled());

    // Typed: adjusted, looked up in a list loaded once, with the requisition screen's branch.
    order->medCdServico->setText("2");
    leave(order->medCdServico, order->chbFilial);
    EXPECT_EQ(order->medCdServico->text(), "0002");
    EXPECT_EQ(order->edtNmServico->text(), "Almoço");
    order->medCdServico->setText("9");
    leave(order->medCdServico, order->chbFilial);
    EXPECT_EQ(ui.errors(), QStringList{"Serviço não cadastrado."});
    EXPECT_TRUE(order->medCdServico->hasFocus());
    EXPECT_EQ(order->edtNmServico->text(), "Almoço");
    order->medCdServico->clear();
    leave(order->medCdServico, order->chbFilial);
    EXPECT_EQ(ui.errors().size(), 1) << "a blank code is not looked up";
    ASSERT_EQ(server.methods(), std::vector<std::string>{"GetServico"});
    EXPECT_EQ(lastArgs("GetServico").at(0).asString(), "0001");

    // Checked again: disabled, keeping what it holds; unchecked again: emptied.
    order->medCdServico->setText("0001");
    order->chbServico->setChecked(true);
    EXPECT_FALSE(order->medCdServico->isEnabled() || order->btpServico->isEnabled() || order->lblServico->isEnabled());
    EXPECT_EQ(order->medCdServico->text(), "0001");
    order->chbServico->setChecked(false);
    EXPECT_EQ(order->medCdServico->text(), "");
    EXPECT_EQ(order->edtNmServico->text(), "");

    // Picked from every branch.
    order->chbFilial->setChecked(false);
    ui.answerPick(1);
    order->btpFilial->click();
    EXPECT_EQ(order->medCdFilial->text(), "0002");
    EXPECT_EQ(order->edtNmFilial->text(), "Restaurante Norte");
    EXPECT_EQ(getFilialArgs(), std::vector<std::string>{"T"});
    EXPECT_EQ(ui.pickersShown.back().title, "Filial");
}

// The consolidation branch is exactly the code typed: "T", which the server's lookup takes
// for every branch, is none; and the picker opens on the code in the field.
TEST_F(Filters, TheConsolidationBranchIsExactlyTheCodeTyped) {
    openOrder();
    order->chbFilial->setChecked(false);
    order->medCdFilial->setText("T");
    leave(order->medCdFilial, order->chbServico);
    EXPECT_EQ(ui.errors(), QStringList{"Filial não cadastrada."});
    EXPECT_EQ(order->edtNmFilial->text(), "");

    order->medCdFilial->setText("9");
    leave(order->medCdFilial, order->chbServico);
    EXPECT_EQ(order->edtNmFilial->text(), "Operador Logístico");
    ui.cancelPick();
    order->btpFilial->click();
    ASSERT_FALSE(ui.pickersShown.empty());
    EXPECT_EQ(ui.pickersShown.back().startRow, 2) << "rows: 0001, 0002, 0009";
    EXPECT_EQ(order->medCdFilial->text(), "0009");
}

}  // namespace
