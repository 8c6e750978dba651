#include <gtest/gtest.h>

#include <QTest>

#include "host/controls/NumberEdit.h"
#include "support/ScriptedHostUi.h"

using namespace krv::host;

TEST(NumberEdit, DecimalsSeparatorsAndEmpty) {
    TNumberEdit edit;
    edit.SetDecimals(2);
    EXPECT_EQ(edit.GetNumber(), 0.0);  // empty reads 0

    QTest::keyClicks(&edit, "12.345");
    EXPECT_EQ(edit.text(), "12,34");  // '.' shown as ',', third decimal refused
    EXPECT_DOUBLE_EQ(edit.GetNumber(), 12.34);

    edit.clear();
    QTest::keyClicks(&edit, "1.000,5");  // no thousands separator: '.' is the decimal one
    EXPECT_EQ(edit.text(), "1,00");
    EXPECT_DOUBLE_EQ(edit.GetNumber(), 1.0);

    edit.clear();
    QTest::keyClicks(&edit, "-");
    EXPECT_EQ(edit.GetNumber(), 0.0);  // a sign alone is no number
    QTest::keyClicks(&edit, "7,5");
    EXPECT_DOUBLE_EQ(edit.GetNumber(), -7.5);

    edit.SetNumber(3.456);
    EXPECT_EQ(edit.text(), "3,46");

    TNumberEdit whole;
    QTest::keyClicks(&whole, "12,5");
    EXPECT_EQ(whole.text(), "125");  // no decimals: no separator
}

TEST(NumberEdit, KeyHookFiltersTypedCharacters) {
    TNumberEdit edit;
    edit.SetDecimals(2);
    std::vector<QChar> seen;
    edit.OnKeyPress = [&](QChar& key) {
        seen.push_back(key);
        if (key == '-' || key == 'e' || key == 'E') key = QChar(0);
        if (key == 'x') key = '9';
    };
    QTest::keyClicks(&edit, "-1e2x");
    EXPECT_EQ(edit.text(), "129");
    EXPECT_EQ(seen.size(), 5u);
    QTest::keyClick(&edit, Qt::Key_Backspace);  // not a character: not passed to the hook
    EXPECT_EQ(edit.text(), "12");
    EXPECT_EQ(seen.size(), 5u);

    // A failing hook shows its error and the key press goes nowhere.
    krv::test::ScriptedHostUi ui;
    edit.OnKeyPress = [](QChar&) { throw std::runtime_error("falhou"); };
    QTest::keyClick(&edit, '3');
    EXPECT_EQ(edit.text(), "12");
    EXPECT_EQ(ui.errors(), QStringList{"falhou"});
}
