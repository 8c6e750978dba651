// Marking the requisitions in the grid: one row by click or space, all open rows by the
// mark column's title, with a picture for each state; rows are never added or deleted.
#include <QApplication>
#include <QDialog>
#include <QHeaderView>
#include <QPushButton>
#include <QTest>

#include "core/Errors.h"
#include "host/models/MarkDelegate.h"
#include "ordergen/OrderFixture.h"
#include "ordergen/TfrmGerarPedReq.h"

using namespace krv;
using host::MarkState;

namespace {

class Marking : public test::OrderFixture {};

TEST_F(Marking, TheMarkColumnsTitleMarksOrUnmarksEveryOpenRowAndKeepsTheCurrentOne) {
    struct Case {
        const char* what;
        std::vector<test::Req> rows;
        std::string after;
    };
    const Case cases[] = {
        {"an open row unmarked: all open rows marked",
         {{"N", 10, ""}, {"S", 11, ""}, {"N", 12, "P1"}, {"N", 13, ""}},
         "SSNS"},
        {"every open row marked: all unmarked", {{"S", 10, ""}, {"S", 11, ""}, {"S", 12, "P1"}, {"S", 13, ""}}, "NNSN"},
        {"every row ordered: nothing changes", {{"N", 10, "P1"}, {"S", 11, "P2"}}, "NS"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        rows = c.rows;
        openOrder();
        setCurrent(1, 3);
        clickGrid(-1, 3);  // another title does nothing
        clickGrid(-1, 0);
        EXPECT_EQ(marks(), c.after);
        EXPECT_EQ(currentRow(), 1);
        EXPECT_EQ(order->dbgRequisicoes->currentIndex().row(), 1);
        EXPECT_FALSE(order->cdsRequisicoes.Filtered());
    }
    EXPECT_TRUE(server.calls().empty()) << "marks live only in the list";
}

TEST_F(Marking, EachStateDrawsItsPicture) {
    rows = {{"N", 10, ""}, {"S", 11, ""}, {"N", 12, "P1"}, {"S", 13, "P2"}};
    openOrder();
    setCurrent(0, 3);
    const MarkState expected[] = {MarkState::Unchecked, MarkState::Checked, MarkState::Gray, MarkState::Gray};
    QTableView* grid = order->dbgRequisicoes;
    const QImage shown = grid->viewport()->grab().toImage();
    for (int row = 0; row < 4; ++row) {
        SCOPED_TRACE(row);
        const QRect cell = grid->visualRect(grid->model()->index(row, 0));
        const QImage picture = host::MarkDelegate::picture(expected[row]).toImage();
        const QPoint at(cell.left() + (cell.width() - picture.width()) / 2, cell.top());
        int differing = 0;
        for (int y = 0; y < picture.height(); ++y)
            for (int x = 0; x < picture.width(); ++x)
                if (qAlpha(picture.pixel(x, y)) == 255 && shown.pixel(at + QPoint(x, y)) != picture.pixel(x, y))
                    ++differing;
        EXPECT_EQ(differing, 0);
    }
}

TEST_F(Marking, AClickInTheMarkColumnOrSpaceAnywhereTogglesTheRow) {
    openOrder();
    clickGrid(0, 0);
    EXPECT_EQ(marks(), "SSNN");
    clickGrid(1, 4);  // another column only moves
    EXPECT_EQ(marks(), "SSNN");
    EXPECT_EQ(currentRow(), 1);
    QTest::keyClick(order->dbgRequisicoes, Qt::Key_Space);
    EXPECT_EQ(marks(), "SNNN");
    EXPECT_EQ(currentRow(), 1) << "space does not search the list";

    // A row with an order toggles too, and stays gray.
    setCurrent(2, 7);
    QTest::keyClick(order->dbgRequisicoes, Qt::Key_Space);
    EXPECT_EQ(marks(), "SNSN");
    EXPECT_EQ(order->dbgRequisicoes->model()->index(2, 0).data(host::DataSetModel::MarkStateRole).toInt(),
              int(MarkState::Gray));
}

TEST_F(Marking, NoRowIsDeletedOrInserted) {
    openOrder();
    setCurrent(1, 0);
    QTest::keyClick(order->dbgRequisicoes, Qt::Key_Delete, Qt::ControlModifier);
    QTest::keyClick(order->dbgRequisicoes, Qt::Key_Insert);
    EXPECT_THROW(order->cdsRequisicoes.Insert(), EAbort);
    EXPECT_EQ(order->cdsRequisicoes.RecordCount(), 4);
    EXPECT_EQ(order->cdsRequisicoes.State(), DataSetState::Browse);
    EXPECT_EQ(marks(), "NSNN");
    EXPECT_TRUE(ui.errors().isEmpty());
}

TEST_F(Marking, FindMovesToTheRowFound) {
    openOrder();
    ui.answerFind(3);
    order->sbtProcurar->click();
    EXPECT_EQ(ui.pickersShown.size(), 1u);
    EXPECT_EQ(currentRow(), 3);
    EXPECT_EQ(order->dbgRequisicoes->currentIndex().row(), 3);
}

}  // namespace

namespace {

QString situacao(const ordergen::TfrmGerarPedReq* order) { return order->lblSituacao->text(); }

// The counts under the grid follow every way of marking: Space, Ctrl+A, the button.
TEST_F(Marking, TheStatusLineCountsListedMarkedAndOrderedRows) {
    openOrder();
    EXPECT_EQ(situacao(order), "4 requisições, 1 marcada, 1 com pedido.");
    setCurrent(0, 3);
    QTest::keyClick(order->dbgRequisicoes, Qt::Key_Space);
    EXPECT_EQ(situacao(order), "4 requisições, 2 marcadas, 1 com pedido.");
    QTest::keyClick(order->dbgRequisicoes, Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(marks(), "SSNS");
    EXPECT_EQ(situacao(order), "4 requisições, 3 marcadas, 1 com pedido.");
    EXPECT_TRUE(order->sbtMarcaTodas->toolTip().endsWith("(Ctrl+A)")) << order->sbtMarcaTodas->toolTip().toStdString();
    order->sbtMarcaTodas->click();
    EXPECT_EQ(marks(), "NNNN");
    EXPECT_EQ(situacao(order), "4 requisições, 0 marcadas, 1 com pedido.");
    EXPECT_EQ(currentRow(), 0);

    rows = {{"S", 10, "P1"}};
    openOrder();
    EXPECT_EQ(situacao(order), "1 requisição, 1 marcada, 1 com pedido.");
    rows.clear();
    openOrder();
    EXPECT_EQ(situacao(order), "0 requisições, 0 marcadas, 0 com pedido.");
    EXPECT_FALSE(order->sbtMarcaTodas->isEnabled());
}

// Tab and Shift+Tab go on to the screen's other controls instead of along the cells.
TEST_F(Marking, TabLeavesTheGrid) {
    openOrder();
    setCurrent(1, 2);
    for (const Qt::Key key : {Qt::Key_Tab, Qt::Key_Backtab}) {
        order->dbgRequisicoes->setFocus(Qt::OtherFocusReason);
        QTest::keyClick(order->dbgRequisicoes, key, key == Qt::Key_Backtab ? Qt::ShiftModifier : Qt::NoModifier);
        EXPECT_NE(QApplication::focusWidget(), order->dbgRequisicoes) << key;
        EXPECT_EQ(order->dbgRequisicoes->currentIndex(), order->dbgRequisicoes->model()->index(1, 2));
    }
}

// Generating or cancelling reloads the list: the rows still listed keep their marks, but for
// those the action just ordered or freed, and the cursor stays on its requisition; a row gone
// takes its mark with it.
TEST_F(Marking, MarksAndTheCurrentRowSurviveAReload) {
    rows = {{"N", 10, ""}, {"S", 11, ""}, {"N", 12, "P7"}, {"N", 13, ""}};
    openOrder();
    setCurrent(2, 4);
    QTest::keyClick(order->dbgRequisicoes, Qt::Key_Space);  // an order to cancel later
    setCurrent(3, 4);
    QTest::keyClick(order->dbgRequisicoes, Qt::Key_Space);
    rows = {{"N", 9, ""}, {"N", 10, ""}, {"N", 11, "501"}, {"N", 12, "P7"}, {"N", 13, "502"}, {"S", 14, ""}};
    ui.answerDialog([](QDialog& dialog) {
        dialog.findChild<QPushButton*>("btnGerar")->click();
        return dialog.result();
    });
    order->sbtConfirma->click();
    EXPECT_EQ(methodsOf("getRequisicoes").size(), 1u);
    EXPECT_EQ(marks(), "NNNSNS") << "ordered now: afresh; new rows as the server sent them";
    EXPECT_EQ(currentRow(), 4);
    EXPECT_EQ(order->dbgRequisicoes->currentIndex().row(), 4);
    EXPECT_EQ(order->dbgRequisicoes->currentIndex().column(), 4);

    // Its row gone, the cursor goes where the list puts it.
    rows = {{"N", 10, ""}, {"N", 12, ""}};
    ui.answerModal(host::mrYes);
    order->sbtCancelaPedido->click();
    EXPECT_EQ(lastArgs("CancelaPedido").at(0).asString(), "_P7_");
    EXPECT_EQ(marks(), "NN") << "the freed row starts afresh";
    EXPECT_EQ(currentRow(), 0);
}

// A row with an order looks done, and says why when the mouse rests on it.
TEST_F(Marking, OrderedRowsLookOrdered) {
    openOrder();
    const QAbstractItemModel* model = order->dbgRequisicoes->model();
    EXPECT_EQ(model->index(2, 4).data(Qt::ToolTipRole).toString(),
              "Requisição do pedido P0001: a geração a deixa de fora.");
    EXPECT_FALSE(model->index(1, 4).data(Qt::ToolTipRole).isValid() &&
                 !model->index(1, 4).data(Qt::ToolTipRole).toString().isEmpty());
    EXPECT_TRUE(model->index(2, 4).data(Qt::ForegroundRole).isValid());
    EXPECT_FALSE(model->index(1, 4).data(Qt::ForegroundRole).isValid());
    EXPECT_FALSE(order->depDataInic->isEnabled());
    EXPECT_NE(order->depDataInic->palette().color(QPalette::Disabled, QPalette::Text),
              order->depDataInic->palette().color(QPalette::Active, QPalette::Text))
        << "a date that cannot be changed is not painted in the editable date colour";
}

}  // namespace
