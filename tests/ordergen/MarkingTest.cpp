// Marking the requisitions in the grid: one row by click or space, all open rows by the
// mark column's title, with a picture for each state; rows are never added or deleted.
#include <QHeaderView>
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
