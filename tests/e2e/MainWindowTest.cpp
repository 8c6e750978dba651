// The host's main window: after its menus, the keys reach the screen in front again; the
// screens' messages show in a status field of their own, never cut.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QStatusBar>
#include <QTest>
#include <QToolButton>
#include <QVBoxLayout>

#include "app/MainWindow.h"
#include "host/controls/ToolButtons.h"
#include "host/dialogs/QtHostUi.h"

using namespace krv;

TEST(MainWindow, FunctionKeysReachTheScreenAfterTheMenus) {
    app::MainWindow window([](const QString&) {});
    auto* screen = new QWidget;
    auto* field = new QLineEdit(screen);
    auto* button = new QToolButton(screen);
    auto* layout = new QVBoxLayout(screen);
    layout->addWidget(field);
    layout->addWidget(button);
    host::SetShortcut(button, Qt::Key_F9, screen);
    int clicks = 0;
    QObject::connect(button, &QToolButton::clicked, [&] { ++clicks; });
    window.mdiArea()->addSubWindow(screen)->show();
    window.show();
    QApplication::setActiveWindow(&window);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    field->setFocus();

    for (QAction* action : window.menuBar()->actions()) {
        SCOPED_TRACE(action->text().toStdString());
        window.menuBar()->setFocus();  // where the menu bar leaves the keyboard
        action->menu()->popup(window.mapToGlobal(QPoint(0, 0)));
        action->menu()->hide();
        QTRY_COMPARE(QApplication::focusWidget(), field);
        const int before = clicks;
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_F9);
        EXPECT_EQ(clicks, before + 1);
    }
}

TEST(MainWindow, AStatusMessageIsNeverCut) {
    host::QtHostUi ui;
    app::MainWindow window([](const QString&) {});
    window.showSession("0001", "ADMIN", "07/12/2026", "127.0.0.1:7457");
    window.resize(1024, 720);
    window.show();
    const QString text = "Cálculo concluído: 15.490 requisições e 123.456 itens gravados.";
    ui.showStatus(text);
    auto* field = window.findChild<QLabel*>("stbMensagem");
    ASSERT_NE(field, nullptr);
    EXPECT_EQ(field->text(), text);
    const int needed = field->fontMetrics().horizontalAdvance(text);
    QTRY_VERIFY2(field->width() >= needed, qPrintable(QString("%1 < %2, janela %3").arg(field->width()).arg(needed).arg(window.width())));
}
