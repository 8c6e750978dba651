#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTest>

#include "ModelSample.h"
#include "host/dialogs/FindDialog.h"
#include "host/dialogs/ListPickerDialog.h"
#include "host/dialogs/PickerDialog.h"
#include "host/models/DataSetModel.h"
#include "support/ButtonKeys.h"
#include "support/ScriptedHostUi.h"

using namespace krv;
using namespace krv::host;

namespace {

struct Pickers : ::testing::Test {
    TClientDataSet ds{test::selectionFields()};
    void SetUp() override { test::fillSelection(ds, 30); }
};

}  // namespace

TEST_F(Pickers, SinglePickerFiltersAsTheUserTypesAndEnterPicks) {
    PickerDialog dialog(ds, "Filial");
    EXPECT_EQ(dialog.windowTitle(), "Filial");
    EXPECT_EQ(dialog.grid()->model()->columnCount(), 2);  // only the visible fields
    EXPECT_EQ(dialog.grid()->model()->headerData(0, Qt::Horizontal).toString(), "Código");
    EXPECT_EQ(dialog.shownRows(), 30);

    QTest::keyClicks(dialog.filterEdit(), "nome 2");  // case ignored
    EXPECT_EQ(dialog.shownRows(), 11);                // "Nome 2" and "Nome 20".."Nome 29"
    QTest::keyClick(dialog.filterEdit(), Qt::Key_Down);
    QTest::keyClick(dialog.filterEdit(), Qt::Key_Return);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(ds.RecNo(), 20);
}

TEST_F(Pickers, SinglePickerPicksByDoubleClickAndNotFromAnEmptyFilter) {
    PickerDialog dialog(ds, "Filial");
    QTest::keyClicks(dialog.filterEdit(), "inexistente");
    EXPECT_EQ(dialog.shownRows(), 0);
    EXPECT_FALSE(dialog.pick());
    EXPECT_NE(dialog.result(), QDialog::Accepted);

    dialog.filterEdit()->clear();
    QTableView* grid = dialog.grid();
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    const QModelIndex cell = grid->model()->index(7, 1);
    const QPoint at = grid->visualRect(cell).center();
    // A real double click starts with a press.
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, at);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(ds.RecNo(), 7);
}

TEST_F(Pickers, ListPickerPreMarksAndMarksByClickSpaceAndAll) {
    ListPickerDialog dialog(ds, "CHAVE", "Serviço|Não há serviço cadastrado.", "_K3_K1_XX_");
    EXPECT_EQ(dialog.windowTitle(), "Serviço");
    EXPECT_TRUE(dialog.isMarked(1));
    EXPECT_TRUE(dialog.isMarked(3));
    EXPECT_EQ(dialog.markedCount(), 2);
    EXPECT_EQ(dialog.keys(), "_K1_K3_");  // data set order; unknown keys dropped

    QTableView* grid = dialog.grid();
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    // Click in the mark column toggles; a click elsewhere only moves.
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->visualRect(grid->model()->index(0, 0)).center());
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->visualRect(grid->model()->index(2, 1)).center());
    EXPECT_TRUE(dialog.isMarked(0));
    EXPECT_FALSE(dialog.isMarked(2));
    // Space toggles the current row, whatever its column.
    QTest::keyClick(grid, Qt::Key_Space);
    EXPECT_TRUE(dialog.isMarked(2));
    QTest::keyClick(grid, Qt::Key_Space);
    EXPECT_FALSE(dialog.isMarked(2));
    EXPECT_EQ(dialog.keys(), "_K0_K1_K3_");

    dialog.markAll(true);
    EXPECT_EQ(dialog.markedCount(), 30);
    dialog.markAll(false);
    EXPECT_EQ(dialog.keys(), "");
    QTest::keyClick(grid, Qt::Key_Return);  // Enter confirms
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    // The marks are the dialog's own: the data set is not written.
    EXPECT_EQ(ds.State(), DataSetState::Browse);
    EXPECT_EQ(ds.ValueAt(0, 0).asString(), "N");
}

TEST_F(Pickers, ListPickerMarksAndUnmarksAllByKeysNamedInItsButtons) {
    ListPickerDialog dialog(ds, "CHAVE", "Serviço|", "_K2_");
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    auto* markAll = dialog.findChild<QPushButton*>("btnMarcarTodos");
    auto* unmarkAll = dialog.findChild<QPushButton*>("btnDesmarcarTodos");
    ASSERT_TRUE(markAll && unmarkAll);
    test::ExpectButtonKeys(&dialog, {{markAll, dialog.grid(), Qt::ALT | Qt::Key_M}});
    EXPECT_EQ(dialog.markedCount(), 30);
    test::ExpectButtonKeys(&dialog, {{unmarkAll, dialog.grid(), Qt::ALT | Qt::Key_D}});
    EXPECT_EQ(dialog.keys(), "");
    // The keys show on the buttons themselves, not only in their tooltips.
    EXPECT_EQ(markAll->text(), "Marcar todos (Alt+M)");
    EXPECT_EQ(unmarkAll->text(), "Desmarcar todos (Alt+D)");
}

// Tab goes on from the grid to the dialog's buttons, and Shift+Tab back: the arrows move
// between the cells.
TEST_F(Pickers, TabLeavesThePickersGrid) {
    ListPickerDialog dialog(ds, "CHAVE", "Serviço|", "");
    dialog.show();
    QApplication::setActiveWindow(&dialog);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
    ASSERT_EQ(QApplication::focusWidget(), dialog.grid());
    const QModelIndex current = dialog.grid()->currentIndex();
    QTest::keyClick(dialog.grid(), Qt::Key_Tab);
    EXPECT_NE(QApplication::focusWidget(), dialog.grid());
    EXPECT_NE(qobject_cast<QPushButton*>(QApplication::focusWidget()), nullptr);
    EXPECT_EQ(dialog.grid()->currentIndex(), current);
}

TEST_F(Pickers, ListPickerShowsTheMarkColumnAndRefusesAnUnknownKeyField) {
    ListPickerDialog dialog(ds, "CHAVE", "Serviço|", "_K0_");
    auto* model = qobject_cast<DataSetModel*>(dialog.grid()->model());
    ASSERT_NE(model, nullptr);
    EXPECT_EQ(model->markColumn(), 0);
    EXPECT_EQ(MarkState(model->data(model->index(0, 0), DataSetModel::MarkStateRole).toInt()), MarkState::Checked);
    EXPECT_EQ(model->columnCount(), 3);  // mark, code, name
    EXPECT_EQ(model->headerData(0, Qt::Horizontal, Qt::DisplayRole).toString(), "");

    EXPECT_THROW(ListPickerDialog(ds, "NAOEXISTE", "X|", ""), std::invalid_argument);
}

TEST_F(Pickers, FindMovesToTheNextMatchAndGoesRound) {
    test::ScriptedHostUi ui;
    ds.MoveTo(0);
    FindDialog dialog(ds);
    dialog.fieldBox()->setCurrentIndex(1);  // "Nome"
    dialog.textEdit()->setText("NOME 1");
    EXPECT_TRUE(dialog.findNext());
    EXPECT_EQ(ds.RecNo(), 1);
    EXPECT_TRUE(dialog.findNext());
    EXPECT_EQ(ds.RecNo(), 10);
    ds.MoveTo(19);
    EXPECT_TRUE(dialog.findNext());
    EXPECT_EQ(ds.RecNo(), 1);

    dialog.textEdit()->setText("zzz");
    EXPECT_FALSE(dialog.findNext());
    EXPECT_EQ(ds.RecNo(), 1);
    EXPECT_EQ(ui.texts(MsgDlgType::Information), QStringList{"Nenhum registro encontrado."});
}
