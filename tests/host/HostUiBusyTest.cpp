#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>

#include <stdexcept>

#include "host/dialogs/BusyOverlay.h"
#include "host/dialogs/HostUi.h"
#include "host/dialogs/QtHostUi.h"
#include "support/ScriptedHostUi.h"

using namespace krv::host;

TEST(HostUiBusy, NestsAndShowsOnlyOnTheOutermostTransitions) {
    krv::test::ScriptedHostUi ui;
    ActiveShowAvi(nullptr, 1);
    ActiveShowAvi(nullptr, 1);
    EXPECT_EQ(BusyDepth(), 2);
    DeactiveShowAvi();
    EXPECT_TRUE(ui.busy);
    DeactiveShowAvi();
    EXPECT_FALSE(ui.busy);
    EXPECT_EQ(ui.busyOn, 1);
    EXPECT_EQ(ui.busyOff, 1);

    // An unpaired off never drives the count below zero, so the next on still shows.
    DeactiveShowAvi();
    EXPECT_EQ(BusyDepth(), 0);
    EXPECT_EQ(ui.busyOff, 1);
    ActiveShowAvi(nullptr, 1);
    EXPECT_TRUE(ui.busy);
    DeactiveShowAvi();
}

TEST(HostUiBusy, GoesOffWhenTheWorkThrows) {
    krv::test::ScriptedHostUi ui;
    EXPECT_EQ(WithBusy([] { return 7; }), 7);
    EXPECT_THROW(WithBusy([]() -> int { throw std::runtime_error("falhou"); }), std::runtime_error);
    EXPECT_EQ(BusyDepth(), 0);
    EXPECT_FALSE(ui.busy);
    EXPECT_EQ(ui.busyOn, 2);
    EXPECT_EQ(ui.busyOff, 2);
}

namespace {
struct FailingBusy : krv::test::ScriptedHostUi {
    void showBusy(bool on) override {
        if (on) throw std::runtime_error("sem janela");
    }
};
}  // namespace

TEST(HostUiBusy, AFailingIndicatorLeavesNoCountBehind) {
    FailingBusy ui;
    EXPECT_THROW(WithBusy([] { return 0; }), std::runtime_error);
    EXPECT_EQ(BusyDepth(), 0);
}

TEST(HostUiBusy, InstallAndRestore) {
    {
        krv::test::ScriptedHostUi ui;
        EXPECT_EQ(&HostUi::instance(), &ui);
    }
    // Uninstalling puts the Qt implementation back.
    EXPECT_EQ(dynamic_cast<krv::test::ScriptedHostUi*>(&HostUi::instance()), nullptr);
}

TEST(HostUiBusy, QtIndicatorIsAWaitCursorAndAnOverlayOnTheActiveWindow) {
    QWidget window;
    window.resize(300, 200);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    QtHostUi ui;
    ui.showBusy(true);
    ASSERT_NE(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    auto* overlay = window.findChild<BusyOverlay*>();
    ASSERT_NE(overlay, nullptr);
    EXPECT_TRUE(overlay->isVisible());
    EXPECT_EQ(overlay->geometry(), window.rect());
    window.resize(400, 250);
    EXPECT_EQ(overlay->geometry(), window.rect());

    ui.showBusy(false);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(window.findChild<BusyOverlay*>(), nullptr);
}
