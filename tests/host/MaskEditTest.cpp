#include <gtest/gtest.h>

#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>

#include "host/controls/MaskEdit.h"
#include "host/controls/ToolButtons.h"

using namespace krv::host;

TEST(MaskEdit, UpperCasedAlphanumericsUpToTheMaskLength) {
    TMaskEdit edit(">aaaa;0; ");
    EXPECT_EQ(edit.maxLength(), 4);
    QTest::keyClicks(&edit, "a-b 1x9z");
    EXPECT_EQ(edit.text(), "AB1X");

    QSignalSpy changes(&edit, &QLineEdit::textChanged);
    edit.setText("0001");  // set by code: OnChange fires too
    EXPECT_EQ(changes.count(), 1);
}

TEST(MaskEdit, DigitsOnly) {
    TMaskEdit edit;
    edit.SetEditMask("9999;0; ");
    QTest::keyClicks(&edit, "1a2.3-45");
    EXPECT_EQ(edit.text(), "1234");
    EXPECT_THROW(edit.SetEditMask("(99)"), std::invalid_argument);
    EXPECT_EQ(edit.EditMask(), "9999;0; ");

    // A form file sets the mask as a property.
    edit.setProperty("editMask", ">aa;0; ");
    EXPECT_EQ(edit.maxLength(), 2);
}

TEST(ToolButtons, ClickingKeepsTheFocusWhereItWas) {
    QWidget window;
    auto* edit = new QLineEdit(&window);
    auto* search = new TBtnPesquisa(&window);
    auto* flat = new TButtonFlat(&window);
    auto* layout = new QVBoxLayout(&window);
    layout->addWidget(edit);
    layout->addWidget(search);
    layout->addWidget(flat);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    edit->setFocus();
    int clicks = 0;
    QObject::connect(search, &QToolButton::clicked, [&] { ++clicks; });
    QTest::mouseClick(search, Qt::LeftButton);
    QTest::mouseClick(flat, Qt::LeftButton);
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(QApplication::focusWidget(), edit);
    EXPECT_EQ(search->toolTip(), "Pesquisar");
    EXPECT_FALSE(search->icon().isNull());
}

// The server takes codes of ASCII letters and digits only; anything else typed would pass
// the field and come back as a message about the code's form.
TEST(MaskEdit, OnlyAsciiLettersAndDigitsGetIn) {
    struct Case {
        const char* mask;
        QString typed;
        QString kept;
    };
    for (const Case& c : {Case{">aaaa;0; ", "aé1Ç", "A1"}, Case{">aaaa;0; ", "ª²ßΩz", "Z"},
                          Case{">aaaa;0; ", "٣0", "0"}, Case{"9999;0; ", "٣1²9", "19"}}) {
        SCOPED_TRACE(c.typed.toStdString());
        TMaskEdit edit(c.mask);
        for (QChar typed : c.typed)  // keyClicks knows ASCII keys only
            QTest::sendKeyEvent(QTest::Click, &edit, Qt::Key_unknown, QString(typed), Qt::NoModifier);
        EXPECT_EQ(edit.text(), c.kept);
    }
}
