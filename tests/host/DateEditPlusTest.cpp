#include <gtest/gtest.h>

#include <QCalendarWidget>
#include <QDir>
#include <QImage>
#include <QSignalSpy>
#include <QTest>
#include <algorithm>
#include <cmath>
#include <map>

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

namespace {

double Luminance(QRgb c) {
    auto channel = [](int v) {
        const double s = v / 255.0;
        return s <= 0.03928 ? s / 12.92 : std::pow((s + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(qRed(c)) + 0.7152 * channel(qGreen(c)) + 0.0722 * channel(qBlue(c));
}

// The contrast ratio between the most frequent colour of `image` (its background) and the
// colour that differs most from it in luminance (its text).
double TextContrast(const QImage& image) {
    std::map<QRgb, int> counts;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) ++counts[image.pixel(x, y)];
    const QRgb background =
        std::max_element(counts.begin(), counts.end(), [](auto& a, auto& b) { return a.second < b.second; })->first;
    double contrast = 1;
    for (const auto& [colour, n] : counts) {
        const double a = Luminance(colour) + 0.05;
        const double b = Luminance(background) + 0.05;
        contrast = std::max(contrast, std::max(a, b) / std::min(a, b));
    }
    return contrast;
}

}  // namespace

// The screens paint their date edits on a pale yellow through a style sheet; the calendar
// must not take that on, or its month and year turn white on pale yellow.
TEST(DateEditPlus, TheCalendarHeaderIsReadableOverAPaleEdit) {
    QWidget window;
    window.setStyleSheet("background-color: #ffffe1;");
    auto* edit = new TDateEditPlus(&window);
    edit->SetValidDateColor(Qt::blue);
    edit->SetDate(DateTime::fromDate(2026, 12, 7));
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    edit->ShowCalendar();
    QCalendarWidget* calendar = edit->Calendar();
    ASSERT_NE(calendar, nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(calendar));

    const QImage picture = calendar->grab().toImage();
    QDir().mkpath(KRV_SCREENS_DIR);
    EXPECT_TRUE(picture.save(QDir(KRV_SCREENS_DIR).filePath("calendar.png")));
    for (const char* name : {"qt_calendar_monthbutton", "qt_calendar_yearbutton"}) {
        const auto* button = calendar->findChild<QWidget*>(name);
        ASSERT_NE(button, nullptr) << name;
        const QRect area(button->mapTo(calendar, QPoint(0, 0)), button->size());
        EXPECT_GE(TextContrast(picture.copy(area)), 3.0) << name;  // the least for bold text
    }
}
