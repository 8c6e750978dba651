#include <gtest/gtest.h>

#include <QCalendarWidget>
#include <QSignalSpy>
#include <QTest>

#include "host/controls/DateEditPlus.h"

using namespace krv;
using namespace krv::host;

TEST(DateEditPlus, EmptyValidAndInvalidText) {
    TDateEditPlus edit;
    EXPECT_TRUE(edit.IsEmpty());
    EXPECT_EQ(edit.GetDate(), DateTime{});
    EXPECT_NO_THROW(edit.CheckValidDate());  // empty is allowed

    edit.SetDate(DateTime::fromParts(2024, 2, 29, 13, 45, 0));
    EXPECT_EQ(edit.text(), "29/02/2024");
    EXPECT_EQ(edit.GetDate(), DateTime::fromDate(2024, 2, 29));  // no time kept

    // Typing only digits and '/', at most ten.
    edit.clear();
    QTest::keyClicks(&edit, "3a1/-02/2023x99");
    EXPECT_EQ(edit.text(), "31/02/2023");
    EXPECT_FALSE(edit.Date().has_value());
    try {
        edit.CheckValidDate();
        FAIL() << "no error for 31/02/2023";
    } catch (const EInvalidDate& e) {
        EXPECT_STREQ(e.what(), "'31/02/2023' não é uma data válida.");
    }
    // Never a stale date for a text the user does not see as one.
    EXPECT_THROW(edit.GetDate(), EInvalidDate);

    edit.setText("1/2/2024");  // only the full form is a date
    EXPECT_THROW(edit.CheckValidDate(), EInvalidDate);

    edit.clear();
    QTest::keyClicks(&edit, "10052024");
    EXPECT_EQ(edit.text(), "10/05/2024");
    EXPECT_EQ(edit.GetDate(), DateTime::fromDate(2024, 5, 10));
}

TEST(DateEditPlus, ChangeOnEveryTextAndDateChangeOnlyOnANewValidDate) {
    TDateEditPlus edit;
    QSignalSpy changes(&edit, &QLineEdit::textChanged);
    QSignalSpy dates(&edit, &TDateEditPlus::dateChanged);
    QString order;
    QObject::connect(&edit, &TDateEditPlus::changed, [&] { order += 'c'; });
    QObject::connect(&edit, &TDateEditPlus::dateChanged, [&] { order += 'd'; });

    edit.SetDate(DateTime::fromDate(2024, 5, 10));
    EXPECT_EQ(changes.count(), 1);
    ASSERT_EQ(dates.count(), 1);
    EXPECT_EQ(dates.last().at(0).value<DateTime>(), DateTime::fromDate(2024, 5, 10));

    edit.SetDate(DateTime::fromDate(2024, 5, 10));  // same date: nothing changes
    EXPECT_EQ(changes.count(), 1);
    EXPECT_EQ(dates.count(), 1);

    // Retyping the last digit passes through an invalid text and back to the same date,
    // which counts as a new date: the weekday cleared on the way must come back.
    edit.setFocus();
    edit.end(false);
    QTest::keyClick(&edit, Qt::Key_Backspace);
    EXPECT_EQ(dates.count(), 1);
    QTest::keyClick(&edit, '4');
    EXPECT_EQ(changes.count(), 3);
    EXPECT_EQ(dates.count(), 2);

    edit.clear();
    EXPECT_EQ(changes.count(), 4);
    EXPECT_EQ(dates.count(), 2);
    EXPECT_FALSE(edit.Date().has_value());
    // A change always comes before the date change it brings.
    EXPECT_EQ(order, "cdccdc");
}

TEST(DateEditPlus, CalendarPopupSetsTheDate) {
    TDateEditPlus edit;
    edit.SetDate(DateTime::fromDate(2024, 5, 10));
    edit.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&edit));
    QTest::keyClick(&edit, Qt::Key_F4);
    QCalendarWidget* calendar = edit.Calendar();
    ASSERT_NE(calendar, nullptr);
    EXPECT_EQ(calendar->selectedDate(), QDate(2024, 5, 10));
    emit calendar->clicked(QDate(2024, 6, 1));
    EXPECT_EQ(edit.text(), "01/06/2024");
    EXPECT_EQ(edit.Calendar(), nullptr);

    QTest::keyClick(&edit, Qt::Key_Down, Qt::AltModifier);
    EXPECT_NE(edit.Calendar(), nullptr);
}
