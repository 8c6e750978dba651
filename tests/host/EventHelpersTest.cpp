#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QTest>
#include <QVBoxLayout>
#include <initializer_list>

#include "core/Errors.h"
#include "host/controls/DateEditPlus.h"
#include "host/controls/ToolButtons.h"
#include "host/events/EventHelpers.h"
#include "support/ScriptedHostUi.h"

using namespace krv;
using namespace krv::host;

namespace {

// A window with a group of two edits and a date edit and a plain edit outside it, active
// and with the focus in the first edit.
struct Form : ::testing::Test {
    QWidget window;
    QGroupBox* group = new QGroupBox("Grupo", &window);
    QLineEdit* first = new QLineEdit(group);
    QLineEdit* second = new QLineEdit(group);
    TDateEditPlus* date = new TDateEditPlus(&window);
    QLineEdit* outside = new QLineEdit(&window);
    int firstExits = 0;

    void SetUp() override {
        auto* inGroup = new QVBoxLayout(group);
        inGroup->addWidget(first);
        inGroup->addWidget(second);
        auto* layout = new QVBoxLayout(&window);
        layout->addWidget(group);
        layout->addWidget(date);
        layout->addWidget(outside);
        OnExit(first, [this] { ++firstExits; });
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
        first->setFocus();
        ASSERT_EQ(QApplication::focusWidget(), first);
    }
};

}  // namespace

TEST_F(Form, ExitFiresWhenTheFocusMovesToAnotherControl) {
    QTest::keyClick(first, Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), second);
    EXPECT_EQ(firstExits, 1);
    QTest::keyClick(second, Qt::Key_Backtab);
    outside->setFocus();  // by code, too
    EXPECT_EQ(firstExits, 2);

    // Losing the focus to nowhere is not leaving for another control.
    first->setFocus();
    first->clearFocus();
    EXPECT_EQ(firstExits, 2);
}

TEST_F(Form, NoExitWhenADialogOrAPopupTakesTheFocus) {
    QDialog dialog(&window);
    auto* inDialog = new QLineEdit(&dialog);
    dialog.show();
    dialog.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
    inDialog->setFocus();
    dialog.close();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    EXPECT_EQ(firstExits, 0);

    int dateExits = 0;
    OnExit(date, [&] { ++dateExits; });
    date->setFocus();
    EXPECT_EQ(firstExits, 1);
    QTest::keyClick(date, Qt::Key_F4);  // the calendar popup
    ASSERT_NE(date->Calendar(), nullptr);
    EXPECT_EQ(dateExits, 0);
}

TEST_F(Form, AHandlerThatMovesTheFocusSetsOffNoOtherExit) {
    test::ScriptedHostUi ui;
    int secondExits = 0;
    OnExit(second, [&] { ++secondExits; });
    // Like a failed validation: show the error, put the focus back, end the action.
    OnExit(first, [this] {
        ++firstExits;
        first->setFocus();
        throw std::runtime_error("Filial informada não cadastrada");
    });
    QTest::keyClick(first, Qt::Key_Tab);
    EXPECT_EQ(firstExits, 1);
    EXPECT_EQ(secondExits, 0);
    EXPECT_EQ(QApplication::focusWidget(), first);
    EXPECT_EQ(ui.errors(), QStringList{"Filial informada não cadastrada"});
}

TEST_F(Form, ExitCanBeDetachedAndReattached) {
    {
        ExitDetached detached(first);
        second->setFocus();
    }
    EXPECT_EQ(firstExits, 0);
    first->setFocus();
    SetExitAttached(first, false);
    second->setFocus();
    SetExitAttached(first, true);
    first->setFocus();
    second->setFocus();
    EXPECT_EQ(firstExits, 1);
}

TEST_F(Form, GroupExitFiresOnlyWhenTheFocusLeavesTheGroup) {
    int groupExits = 0;
    OnGroupExit(group, [&] { ++groupExits; });
    second->setFocus();
    EXPECT_EQ(groupExits, 0);
    outside->setFocus();
    EXPECT_EQ(groupExits, 1);
    date->setFocus();  // from outside to outside
    EXPECT_EQ(groupExits, 1);
    second->setFocus();
    second->clearFocus();
    EXPECT_EQ(groupExits, 1);
}

TEST(OnExit, MovingToAnotherScreenOfTheMainWindowIsNotLeaving) {
    QMdiArea area;
    auto* screenA = new QWidget;
    auto* a1 = new QLineEdit(screenA);
    auto* a2 = new QLineEdit(screenA);
    new QVBoxLayout(screenA);
    screenA->layout()->addWidget(a1);
    screenA->layout()->addWidget(a2);
    auto* screenB = new QWidget;
    auto* b1 = new QLineEdit(screenB);
    area.addSubWindow(screenA);
    area.addSubWindow(screenB);
    area.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&area));
    int exits = 0;
    OnExit(a1, [&] { ++exits; });
    a1->setFocus();
    b1->setFocus();
    EXPECT_EQ(exits, 0);
    a1->setFocus();
    a2->setFocus();
    EXPECT_EQ(exits, 1);
}

// Qt gives the focus of a press on what takes none to the MDI frame; the field keeps it
// instead, unchecked, and a press on a control that takes the focus is still a leave.
TEST(OnExit, APressOnWhatTakesNoFocusInAnMdiScreenIsNotLeaving) {
    QMdiArea area;
    auto* screen = new QWidget;
    auto* code = new QLineEdit(screen);
    auto* button = new TButtonFlat(screen);
    auto* label = new QLabel("Filial", screen);
    auto* other = new QLineEdit(screen);
    new QVBoxLayout(screen);
    for (QWidget* w : std::initializer_list<QWidget*>{code, button, label, other}) screen->layout()->addWidget(w);
    area.addSubWindow(screen);
    area.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&area));
    int exits = 0;
    OnExit(code, [&] { ++exits; });
    code->setFocus();
    int clicks = 0;
    QObject::connect(button, &QAbstractButton::clicked, [&] {
        ++clicks;
        EXPECT_TRUE(code->hasFocus()) << "the click finds the field still being typed in";
    });
    QTest::mouseClick(button, Qt::LeftButton);
    QTest::mouseClick(label, Qt::LeftButton);
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(exits, 0);
    EXPECT_TRUE(code->hasFocus());
    QTest::mouseClick(other, Qt::LeftButton);
    EXPECT_EQ(exits, 1);
}

TEST(Guard, AbortIsSilentAndOtherErrorsAreShownOnce) {
    test::ScriptedHostUi ui;
    EXPECT_TRUE(Guard([] {}));
    EXPECT_FALSE(Guard([] { throw EAbort(); }));
    EXPECT_TRUE(ui.messages.empty());

    EXPECT_FALSE(Guard([] { throw EServerError("Servidor indisponível"); }));
    EXPECT_FALSE(Guard([] { throw 42; }));
    // A guard inside a guard: the inner one shows, the outer one sees nothing.
    EXPECT_TRUE(Guard([] { Guard([] { throw ENetError("Conexão recusada"); }); }));
    EXPECT_EQ(ui.errors(), (QStringList{"Servidor indisponível", "Erro inesperado.", "Conexão recusada"}));

    // Through a connection: the error never reaches the code that emitted the signal.
    QLineEdit edit;
    ConnectGuarded(&edit, &QLineEdit::textChanged, &edit,
                   [](const QString& text) { throw std::runtime_error(text.toStdString()); });
    EXPECT_NO_THROW(edit.setText("falhou"));
    EXPECT_EQ(ui.errors().last(), "falhou");
}
