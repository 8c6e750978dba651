#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QVBoxLayout>

#include "host/dialogs/QtHostUi.h"
#include "host/events/EventHelpers.h"

using namespace krv::host;

TEST(MessageDialog, PortugueseTitlesButtonsAndResults) {
    MessageDialog confirm("Confirma recálculo?", MsgDlgType::Confirmation, mbYes | mbNo);
    EXPECT_EQ(confirm.windowTitle(), "Confirmação");
    EXPECT_EQ(confirm.text(), "Confirma recálculo?");
    ASSERT_NE(confirm.buttonFor(mrYes), nullptr);
    EXPECT_EQ(confirm.buttonFor(mrYes)->text(), "Sim");
    EXPECT_EQ(confirm.buttonFor(mrNo)->text(), "Não");
    EXPECT_EQ(confirm.buttonFor(mrOk), nullptr);
    EXPECT_EQ(confirm.escapeButton(), confirm.buttonFor(mrNo));  // Escape never confirms
    EXPECT_EQ(confirm.modalResult(), mrCancel);                  // nothing clicked yet
    confirm.buttonFor(mrYes)->click();
    EXPECT_EQ(confirm.modalResult(), mrYes);

    MessageDialog error("Filial deve ser informada.", MsgDlgType::Error, 0);
    EXPECT_EQ(error.windowTitle(), "Erro");
    ASSERT_NE(error.buttonFor(mrOk), nullptr);  // no buttons asked: OK
    EXPECT_EQ(error.buttons().size(), 1);
    EXPECT_EQ(error.escapeButton(), error.buttonFor(mrOk));

    MessageDialog three("?", MsgDlgType::Warning, mbYes | mbNo | mbCancel);
    EXPECT_EQ(three.windowTitle(), "Aviso");
    EXPECT_EQ(three.buttonFor(mrCancel)->text(), "Cancelar");
    EXPECT_EQ(three.escapeButton(), three.buttonFor(mrCancel));
    EXPECT_EQ(MessageDialog("i", MsgDlgType::Information, mbOK).windowTitle(), "Informação");
}

TEST(MessageDialog, EnterAnswersNoToAQuestion) {
    struct Case {
        int buttons;
        ModalResult byDefault;  // mrNone: Qt's own choice
    };
    for (const Case& c : {Case{mbYes | mbNo, mrNo}, Case{mbYes | mbNo | mbCancel, mrNo}, Case{mbOK, mrNone}}) {
        MessageDialog box("?", MsgDlgType::Confirmation, c.buttons);
        const QAbstractButton* expected = c.byDefault == mrNone ? nullptr : box.buttonFor(c.byDefault);
        EXPECT_EQ(static_cast<const QAbstractButton*>(box.defaultButton()), expected) << c.buttons;
    }
}

// Without a window manager no one activates the window a message came from once it closes:
// the host does, so Tab out of the field corrected after the message still runs its check.
TEST(MessageDialog, GivesTheActivationBackSoTabStillLeavesTheField) {
    QtHostUi ui;
    QWidget window;
    auto* code = new QLineEdit(&window);
    auto* next = new QLineEdit(&window);
    auto* layout = new QVBoxLayout(&window);
    layout->addWidget(code);
    layout->addWidget(next);
    int exits = 0;
    OnExit(code, [&] { ++exits; });
    window.show();
    QApplication::setActiveWindow(&window);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    code->setFocus();
    QTimer::singleShot(0, [] {
        if (QWidget* box = QApplication::activeModalWidget()) QTest::keyClick(box, Qt::Key_Return);
    });
    EXPECT_EQ(ui.messageDlg("Filial informada não cadastrada", MsgDlgType::Error, mbOK), mrOk);
    QTRY_COMPARE(QApplication::activeWindow(), &window);
    QTest::keyClicks(code, "0002");
    QTest::keyClick(code, Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), next);
    EXPECT_EQ(exits, 1);
}
