// The screen opens from "Gerar Pedido" on the requisition screen's filter, fresh each time,
// and deletes its server-held list whenever it closes.
#include <QApplication>
#include <QPointer>
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
    test::ScreenFixture::leave(order->rbtLFilial, order->chbGerarPorTurno);
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

}  // namespace
