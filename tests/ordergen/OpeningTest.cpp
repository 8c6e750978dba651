// The screen opens from "Gerar Pedido" on the requisition screen's filter, fresh each time,
// and deletes its server-held list whenever it closes.
#include <QApplication>
#include <QHeaderView>
#include <QPointer>
#include <QScreen>
#include <QStyle>
#include <QTableView>
#include <QTimer>

#include "host/session/Application.h"
#include "ordergen/Cli_krv52010.h"
#include "ordergen/OrderFixture.h"
#include "ordergen/TfrmGerarPedReq.h"
#include "requisition/TfrmPedReq.h"
#include "rpc/Dispatcher.h"

using namespace krv;

namespace {

class Opening : public test::OrderFixture {};

TEST_F(Opening, GerarPedidoOpensAFreshModalScreenOnlyOnAValidFilter) {
    form->rbtLTurno->setChecked(true);
    form->sbtGerarPedido->click();
    EXPECT_EQ(ui.errors(), QStringList{"Turno deve ser informado."});
    EXPECT_TRUE(methodsOf("getRequisicoes").empty());
    EXPECT_EQ(frmGerarPedReq, nullptr);

    form->rbtTTurno->setChecked(true);
    std::vector<QPointer<QWidget>> opened;
    for (int click = 0; click < 2; ++click) {
        QTimer::singleShot(0, [&] {
            opened.push_back(frmGerarPedReq);
            EXPECT_EQ(QApplication::activeModalWidget(), frmGerarPedReq);
            EXPECT_EQ(host::Screen::Cursor(), host::crDefault);
            frmGerarPedReq->reject();
        });
        form->sbtGerarPedido->click();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    ASSERT_EQ(opened.size(), 2u);
    EXPECT_TRUE(opened[0].isNull() && opened[1].isNull()) << "each screen is freed on close";
    EXPECT_EQ(frmGerarPedReq, nullptr);
    EXPECT_EQ(methodsOf("getRequisicoes").size(), 2u) << "each click creates its own screen";
    EXPECT_EQ(methodsOf("apagaListaRequiPedido").size(), 2u);
    EXPECT_EQ(ui.errors().size(), 1);
}

TEST_F(Opening, ListsTheRequisitionsOfTheRequisitionScreensFilter) {
    markList(form->rbtLAgrupProd, form->sbtAgrupProd, "_01        001_");
    openOrder();
    EXPECT_EQ(order->ChavesFilial(), "_0001_");
    EXPECT_EQ(*order->depDataFina->Date(), processingDate);
    EXPECT_EQ(order->edtDataInic->text(), "Seg");
    EXPECT_EQ(order->edtDataFina->text(), "Seg");
    EXPECT_EQ(order->NrListaRequiPedido(), "");
    EXPECT_EQ(order->cdsRequisicoes.RecordCount(), 4);
    EXPECT_TRUE(order->sbtConfirma->isEnabled() && order->sbtProcurar->isEnabled());
    test::ScreenFixture::renderPng(order, "TfrmGerarPedReq");

    // Reloaded the same way; the grouping and shift lists come from the requisition screen.
    server.clearCalls();
    order->findChild<QAbstractButton*>("sbtAtualizar")->click();
    const std::vector<Variant> args = lastArgs("getRequisicoes");
    ASSERT_EQ(args.size(), 5u);
    EXPECT_EQ(args[0].asString(), "_0001_");
    EXPECT_EQ(args[1].asDateTime(), processingDate);
    EXPECT_EQ(args[2].asDateTime(), processingDate);
    EXPECT_EQ(args[3].asString(), form->Filtro().nrListaTurno.toStdString());
    EXPECT_EQ(args[4].asString(), "_01        001_");

    // An empty list leaves nothing to confirm or find.
    rows.clear();
    openOrder();
    EXPECT_FALSE(order->sbtConfirma->isEnabled());
    EXPECT_FALSE(order->sbtProcurar->isEnabled());
    clickGrid(-1, 0);
    EXPECT_TRUE(ui.errors().isEmpty());
}

TEST_F(Opening, ClosingDeletesTheListAlsoWithoutGenerationAndWhenTheServerFails) {
    openOrder();
    closeOrder();
    EXPECT_EQ(server.methods(), std::vector<std::string>{"apagaListaRequiPedido"});
    EXPECT_EQ(lastArgs("apagaListaRequiPedido").at(0).asString(), "");
    EXPECT_TRUE(orderAlive.isNull());

    server.on("KRV52000.rdmPedReq", "apagaListaRequiPedido", 1,
              [](std::vector<Variant>&) -> Variant { throw rpc::MethodFailure("Lista inexistente"); });
    openOrder();
    closeOrder();
    EXPECT_EQ(ui.errors(), QStringList{"Lista inexistente"});
    EXPECT_TRUE(orderAlive.isNull()) << "a server that cannot delete the list does not hold the screen";
    EXPECT_EQ(ui.busyOn, ui.busyOff);
}

// The widths of the form are only where a column starts: no title and no value is cut, and
// a width the user gives a column stays through a reload and the mark-all toggle.
TEST_F(Opening, TheGridCutsNothingAndKeepsTheWidthsTheUserSets) {
    openOrder();
    QTableView* grid = order->dbgRequisicoes;
    const QAbstractItemModel* model = grid->model();
    const QFontMetrics fm = grid->fontMetrics();
    const int cellMargins = 2 * (grid->style()->pixelMetric(QStyle::PM_FocusFrameHMargin) + 1);
    const int titleMargins = 2 * grid->style()->pixelMetric(QStyle::PM_HeaderMargin);
    for (int c = 1; c < model->columnCount(); ++c) {
        const QString title = model->headerData(c, Qt::Horizontal).toString();
        EXPECT_GE(grid->columnWidth(c), fm.horizontalAdvance(title) + titleMargins) << title.toStdString();
        for (int r = 0; r < model->rowCount(); ++r) {
            const QString text = model->index(r, c).data().toString();
            EXPECT_GE(grid->columnWidth(c), fm.horizontalAdvance(text) + cellMargins)
                << title.toStdString() << ": " << text.toStdString();
        }
    }

    grid->horizontalHeader()->resizeSection(3, 260);  // as a drag of the title's edge leaves it
    const int branchWidth = grid->columnWidth(1);
    order->findChild<QAbstractButton*>("sbtAtualizar")->click();  // reloads the list
    clickGrid(-1, 0);                                             // marks every open row
    EXPECT_EQ(marks(), "SSNS");
    EXPECT_EQ(grid->columnWidth(3), 260);
    EXPECT_EQ(grid->columnWidth(1), branchWidth);
}

TEST_F(Opening, OpensTallEnoughForAListAndAtTheSizeTheUserLeftIt) {
    openOrder();
    const QTableView* grid = order->dbgRequisicoes;
    EXPECT_GE(grid->viewport()->height() / grid->verticalHeader()->defaultSectionSize(), 15) << "rows in sight";
    EXPECT_LE(order->height(), order->screen()->availableSize().height());

    const QSize left = order->size() - QSize(0, 40);
    order->resize(left);
    closeOrder();
    openOrder();
    EXPECT_EQ(order->size(), left);
}

}  // namespace
