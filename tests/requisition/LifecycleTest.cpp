// The screen lives as long as the module: opening it again shows the same object, and a
// close releases only the connection.
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>

#include "core/Errors.h"
#include "host/events/EventHelpers.h"
#include "host/session/Application.h"
#include "host/session/Session.h"
#include "requisition/Cli_krv52000.h"
#include "requisition/ScreenFixture.h"
#include "requisition/TfrmPedReq.h"

using namespace krv;
using krv::requisition::TfrmPedReq;

namespace {

class ModuleLifecycle : public test::ScreenFixture {};

TEST_F(ModuleLifecycle, OpensOnceKeepsStateAndReconnectsAfterClose) {
    showAndActivate();
    ASSERT_FALSE(boIdCriado);

    // A creation that fails leaves the module as it was, so the next call tries again.
    server.stop();
    EXPECT_THROW(CriaPedReq(), ENetError);
    EXPECT_FALSE(boIdCriado);
    EXPECT_EQ(frmPedReq, nullptr);
    EXPECT_EQ(host::Screen::Cursor(), host::crDefault);
    EXPECT_TRUE(mdiArea->subWindowList().isEmpty());
    server.start();

    CriaPedReq();
    ASSERT_TRUE(boIdCriado);
    ASSERT_NE(frmPedReq, nullptr);
    QPointer<TfrmPedReq> first = frmPedReq;
    EXPECT_EQ(host::Screen::Cursor(), host::crDefault);
    EXPECT_TRUE(frmPedReq->isVisible());
    EXPECT_EQ(frmPedReq->windowTitle(), "Pedido por Requisição");
    EXPECT_EQ(getFilialArgs(), std::vector<std::string>{"0001"});

    // The user changes the filter; a second opening neither recreates nor resets it.
    frmPedReq->depDataFina->SetDate(processingDate.addDays(3));
    frmPedReq->chbImpCard->setChecked(true);
    CriaPedReq();
    EXPECT_EQ(frmPedReq, first.data());
    EXPECT_EQ(mdiArea->subWindowList().size(), 1);
    EXPECT_EQ(getFilialArgs().size(), 1u) << "no second Inicializacao";
    EXPECT_EQ(*frmPedReq->depDataFina->Date(), processingDate.addDays(3));
    EXPECT_TRUE(frmPedReq->chbImpCard->isChecked());

    // Minimised and closed: the object survives without its connection.
    QMdiSubWindow* frame = host::SubWindowOf(frmPedReq);
    ASSERT_NE(frame, nullptr);
    frame->showMinimized();
    frame->close();
    ASSERT_FALSE(first.isNull());
    EXPECT_FALSE(frmPedReq->netPedReq.Connected());
    EXPECT_TRUE(boIdCriado);

    CriaPedReq();
    EXPECT_EQ(frmPedReq, first.data());
    EXPECT_TRUE(frmPedReq->isVisible());
    EXPECT_FALSE(host::SubWindowOf(frmPedReq)->isMinimized());
    EXPECT_EQ(mdiArea->subWindowList().size(), 1);
    EXPECT_TRUE(frmPedReq->chbImpCard->isChecked());
    EXPECT_EQ(*frmPedReq->depDataFina->Date(), processingDate.addDays(3));

    // The next server call opens the connection again, through netPedReqBeforeConnect.
    int connects = 0;
    auto beforeConnect = frmPedReq->netPedReq.BeforeConnect;
    frmPedReq->netPedReq.BeforeConnect = [&](host::TNetConnection& net) {
        ++connects;
        beforeConnect(net);
    };
    server.clearCalls();
    frmPedReq->medCdFilial->setText("0002");
    EXPECT_TRUE(host::Guard([] { frmPedReq->ValidaFiltroRelatorio(); }));
    EXPECT_EQ(connects, 1);
    EXPECT_TRUE(frmPedReq->netPedReq.Connected());
    EXPECT_EQ(getFilialArgs(), std::vector<std::string>{"0002"});
    EXPECT_EQ(frmPedReq->edtNmFilial->text(), "Restaurante Norte");
    EXPECT_TRUE(ui.errors().isEmpty());
}

// The host deletes the screen at its end, while the package may stay in memory: opening the
// module again creates a new screen instead of showing the deleted one.
TEST_F(ModuleLifecycle, DeletedScreenIsCreatedAgain) {
    showAndActivate();
    CriaPedReq();
    ASSERT_TRUE(boIdCriado);
    delete host::SubWindowOf(frmPedReq);
    EXPECT_EQ(frmPedReq, nullptr);
    EXPECT_FALSE(boIdCriado);

    CriaPedReq();
    ASSERT_NE(frmPedReq, nullptr);
    EXPECT_TRUE(boIdCriado);
    EXPECT_TRUE(frmPedReq->isVisible());
    EXPECT_EQ(mdiArea->subWindowList().size(), 1);

    // Deleting a screen that is not the module's leaves the module's alone.
    TfrmPedReq* other = createScreen();
    TfrmPedReq* const screen = frmPedReq;
    delete other;
    EXPECT_EQ(frmPedReq, screen);
    EXPECT_TRUE(boIdCriado);
}

TEST_F(ModuleLifecycle, ConnectsToTheSessionServerWithItsToken) {
    server.stop();
    server.start("segredo");
    host::SetSession({"0001", "ADMIN", "127.0.0.1", int(server.port()), "segredo"});

    TfrmPedReq* form = createScreen();
    ASSERT_NE(form, nullptr);
    EXPECT_EQ(form->netPedReq.ServerName, "KRV52000.rdmPedReq");
    EXPECT_FALSE(form->netPedReq.ThrowException);
    EXPECT_EQ(form->netPedReq.Host, "127.0.0.1");
    EXPECT_EQ(form->netPedReq.Port, server.port());
    EXPECT_TRUE(form->Filtro().boFilialValidada);
    EXPECT_EQ(form->edtNmFilial->text(), "Cozinha Central");
}

TEST(ModuleUnits, InitialisationOnlyCountsItself) {
    using namespace krv::requisition;
    const int before = Cli_krv52000_InitCount();
    const bool created = boIdCriado;
    TfrmPedReq* const screen = frmPedReq;
    Cli_krv52000_Initialization();
    Cli_krv52000_Initialization();
    EXPECT_EQ(Cli_krv52000_InitCount(), before + 2);
    for (int i = 0; i < before + 3; ++i) Cli_krv52000_Finalization();
    EXPECT_EQ(Cli_krv52000_InitCount(), 0) << "an extra finalisation does not go below zero";
    EXPECT_EQ(boIdCriado, created) << "the unit's initialisation sets no other state";
    EXPECT_EQ(frmPedReq, screen);
}

}  // namespace
