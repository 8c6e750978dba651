#include <gtest/gtest.h>

#include <QHeaderView>
#include <QSignalSpy>
#include <QTableView>

#include "ModelSample.h"
#include "host/models/DataSetModel.h"
#include "host/models/MarkDelegate.h"

using namespace krv;
using namespace krv::host;

namespace {

std::string nameAt(const DataSetModel& m, int row, int column) {
    return m.data(m.index(row, column), Qt::DisplayRole).toString().toStdString();
}

}  // namespace

TEST(DataSetModel, ShowsVisibleFieldsWithLabelsOverManyRows) {
    TClientDataSet ds(test::selectionFields());
    test::fillSelection(ds, 100000);
    DataSetModel model(ds);

    EXPECT_EQ(model.rowCount(), 100000);
    ASSERT_EQ(model.columnCount(), 2);  // mark and key are hidden
    EXPECT_EQ(model.headerData(0, Qt::Horizontal, Qt::DisplayRole).toString(), "Código");
    EXPECT_EQ(model.headerData(1, Qt::Horizontal, Qt::DisplayRole).toString(), "Nome");
    EXPECT_EQ(nameAt(model, 99999, 1), "Nome 99999");
    EXPECT_EQ(model.markColumn(), -1);

    // A grid over it keeps one fixed row height, which is what lets it scroll fast.
    QTableView view;
    SetupGrid(view, model);
    EXPECT_EQ(view.verticalHeader()->sectionResizeMode(0), QHeaderView::Fixed);
    EXPECT_TRUE(view.verticalHeader()->isHidden());
    // Widths follow the field sizes: the 40-character name is wider than the 5-character code.
    EXPECT_GT(view.columnWidth(1), view.columnWidth(0));
}

TEST(DataSetModel, FollowsTheDataSetsChanges) {
    TClientDataSet ds(test::selectionFields());
    test::fillSelection(ds, 3);
    DataSetModel model(ds);
    QSignalSpy resets(&model, &QAbstractItemModel::modelReset);
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    QSignalSpy moved(&model, &DataSetModel::currentRowChanged);

    ds.MoveTo(1);
    ASSERT_EQ(moved.count(), 1);
    EXPECT_EQ(moved.last().at(0).toInt(), 1);

    ds.Edit();
    ds.FieldByName("NOME").SetAsString("Outro");
    ds.Post();
    ASSERT_GE(changed.count(), 1);
    EXPECT_EQ(changed.last().at(0).toModelIndex().row(), 1);
    EXPECT_EQ(nameAt(model, 1, 1), "Outro");

    test::fillSelection(ds, 5);
    EXPECT_GE(resets.count(), 1);
    EXPECT_EQ(model.rowCount(), 5);

    // A filter narrows the rows; the model never reads past the data set's rows.
    ds.SetFilter("CODIGO = '3'");
    ds.SetFiltered(true);
    EXPECT_EQ(model.rowCount(), 1);
    EXPECT_EQ(nameAt(model, 0, 1), "Nome 3");
    EXPECT_FALSE(model.data(model.index(0, 1), Qt::DisplayRole).isNull());
}

TEST(DataSetModel, ExplicitColumnsAndTheMarkColumn) {
    TClientDataSet ds(test::selectionFields());
    test::fillSelection(ds, 3);
    ds.MoveTo(2);
    ds.Edit();
    ds.FieldByName("IDMARCADO").SetAsString("S");
    ds.Post();
    DataSetModel model(ds, {{"IDMARCADO", "4", 22}, {"NOME", "", 0}, {"NAOEXISTE", "X", 0}});

    ASSERT_EQ(model.columnCount(), 3);
    EXPECT_EQ(model.markColumn(), 0);
    EXPECT_EQ(model.headerData(0, Qt::Horizontal, Qt::DisplayRole).toString(), QString(QChar(0x2713)))
        << "the symbol font's \"4\" is a check mark";
    EXPECT_EQ(model.headerData(1, Qt::Horizontal, Qt::DisplayRole).toString(), "Nome");
    EXPECT_EQ(model.columnWidth(0, QFontMetrics(QFont())), 22);
    auto state = [&](int row) {
        return MarkState(model.data(model.index(row, 0), DataSetModel::MarkStateRole).toInt());
    };
    EXPECT_EQ(state(0), MarkState::Unchecked);
    EXPECT_EQ(state(2), MarkState::Checked);
    // The mark column shows a picture, not the "S"/"N" text.
    EXPECT_TRUE(model.data(model.index(2, 0), Qt::DisplayRole).isNull());
    // A field the data set lacks reads empty rather than failing.
    EXPECT_TRUE(model.data(model.index(0, 2), Qt::DisplayRole).isNull());

    // Gray wins over the mark, as for rows that already have an order.
    model.setGrayed([](int row) { return row == 2; });
    EXPECT_EQ(state(2), MarkState::Gray);

    QTableView view;
    SetupGrid(view, model);
    EXPECT_NE(qobject_cast<MarkDelegate*>(view.itemDelegateForColumn(0)), nullptr);
    EXPECT_EQ(view.itemDelegateForColumn(1), nullptr);

    // The grid's current cell and the data set's cursor follow each other.
    view.setCurrentIndex(model.index(1, 1));
    EXPECT_EQ(ds.RecNo(), 1);
    ds.MoveTo(0);
    EXPECT_EQ(view.currentIndex().row(), 0);
}

// Quantities (QT… fields) as the report shows them, without the noise of their doubles.
TEST(DataSetModel, NumbersAndDatesAsUsersReadThem) {
    TClientDataSet ds({{"VALOR", FieldType::Float, 0, "Valor", 0, true},
                       {"QTD", FieldType::Integer, 0, "Qtd", 0, true},
                       {"DATA", FieldType::DateTime, 0, "Data", 0, true},
                       {"QTPREVISTA", FieldType::Float, 0, "Quantidade", 0, true}});
    DataPacket p;
    p.fields = {{"VALOR", FieldType::Float, 0},
                {"QTD", FieldType::Integer, 0},
                {"DATA", FieldType::DateTime, 0},
                {"QTPREVISTA", FieldType::Float, 0}};
    p.rows = {{Variant(12.5), Variant(3), Variant(DateTime::fromDate(2024, 5, 10)), Variant(1044.9599999999998)},
              {Variant(), Variant(), Variant(), Variant()},
              {Variant(0.1), Variant(1), Variant(), Variant(0.19294909434393048)}};
    ds.SetData(std::move(p));
    DataSetModel model(ds);
    EXPECT_EQ(nameAt(model, 0, 0), "12,5");
    EXPECT_EQ(nameAt(model, 0, 2), "10/05/2024");
    EXPECT_EQ(nameAt(model, 0, 3), "1.044,960");
    EXPECT_EQ(nameAt(model, 2, 3), "0,192949");
    EXPECT_EQ(nameAt(model, 1, 0), "");  // null shows blank, not 0
    EXPECT_EQ(nameAt(model, 1, 3), "");
    EXPECT_EQ(model.data(model.index(0, 1), Qt::TextAlignmentRole).toInt(), int(Qt::AlignRight | Qt::AlignVCenter));
}

TEST(MarkDelegate, PicturesDifferByState) {
    const QImage unchecked = MarkDelegate::picture(MarkState::Unchecked).toImage();
    const QImage checked = MarkDelegate::picture(MarkState::Checked).toImage();
    const QImage gray = MarkDelegate::picture(MarkState::Gray).toImage();
    EXPECT_EQ(unchecked.size(), QSize(16, 16));
    EXPECT_NE(unchecked, checked);
    EXPECT_NE(unchecked, gray);
    EXPECT_EQ(unchecked.pixelColor(8, 8), QColor(Qt::white));
    EXPECT_EQ(gray.pixelColor(8, 8), QColor(192, 192, 192));
    EXPECT_EQ(unchecked.pixelColor(0, 0).alpha(), 0);  // drawn over the cell's own background
}
