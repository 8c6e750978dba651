// Every tool and search button of the screen answers a key named in its tooltip.
#include <QDialog>
#include <QTest>

#include "requisition/ScreenFixture.h"
#include "requisition/TfrmPedReq.h"
#include "support/ButtonKeys.h"

using namespace krv;

namespace {

class Keyboard : public test::ShownScreen {};

// A search button's key works inside the field or group it searches for, a tool button's
// anywhere on the screen; the key does what a click does, also running the focus guard.
TEST_F(Keyboard, EveryButtonAnswersAKeyNamedInItsTooltip) {
    markList(form->rbtListaServ, form->sbtServico, "_000100001_");  // shifts need a service
    form->rbtLAgrupProd->setChecked(true);
    form->rbtLTurno->setChecked(true);
    ui.pickersShown.clear();
    form->depDataInic->clear();  // every action then ends at its first check, with one message
    ui.cancelPick();
    for (int list = 0; list < 3; ++list) ui.cancelList();
    ui.answerDialog([](QDialog&) { return int(QDialog::Rejected); });  // "Saldo da Filial"
    const std::vector<test::ButtonKey> keys{
        {form->btpFilial, form->medCdFilial, Qt::Key_F2},
        {form->sbtServico, form->rbtListaServ, Qt::Key_F2},
        {form->sbtAgrupProd, form->rbtLAgrupProd, Qt::Key_F2},
        {form->sbtTurno, form->rbtLTurno, Qt::Key_F2},
        {form->sbtCalcReq, form->medCdFilial, Qt::Key_F5},
        {form->sbtGerarPedido, form->chbImpCard, Qt::Key_F6},
        {form->sbtCalcPrevCons, form->medCdFilial, Qt::Key_F7},    // disabled on an ordinary branch
        {form->sbtVerPrevisao, form->medCdFilial, Qt::Key_F9},     // likewise
        {form->sbtCalcReqFiliais, form->medCdFilial, Qt::Key_F4},  // likewise
        {form->sbtPedidos, form->medCdFilial, Qt::Key_F3},
        {form->sbtSaldoFilial, form->medCdFilial, Qt::CTRL | Qt::Key_E},  // needs the branch only: opens
        {form->sbtPrint, form->medCdFilial, Qt::CTRL | Qt::Key_P},
        {form->sbtPreview, form->depDataFina, Qt::Key_F8},
        {form->sbtSalvarComo, form->medCdFilial, Qt::Key_F12},
        {form->sbtConfigImpr, form->medCdFilial, Qt::CTRL | Qt::SHIFT | Qt::Key_P},
        {form->sbtReportEdit, form->rbtOrdenaCod, Qt::Key_F11},
    };
    test::ExpectButtonKeys(form, keys);
    EXPECT_EQ(ui.pickersShown.size(), 4u);
    EXPECT_EQ(ui.errors(), QStringList(8, "Data inicial deve ser informada."));
    EXPECT_TRUE(ui.allAnswersUsed());

    // Out of its field, a search key searches nothing.
    form->depDataFina->setFocus(Qt::OtherFocusReason);
    QTest::keyClick(form->depDataFina, Qt::Key_F2);
    EXPECT_EQ(ui.pickersShown.size(), 4u);
}

}  // namespace
