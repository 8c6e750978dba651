#include <gtest/gtest.h>

#include "host/models/Convert.h"

using namespace krv;
using namespace krv::host;

TEST(SessionConvert, TextsAndDatesKeepTheirValueBothWays) {
    const QString accented = QString::fromUtf8("Requisição de Produtos – Açaí");
    EXPECT_EQ(ToQString(ToVariant(accented)), accented);
    EXPECT_EQ(ToVariant(accented), Variant("Requisição de Produtos – Açaí"));
    EXPECT_EQ(ToQString(ToStd(accented)), accented);
    EXPECT_EQ(ToQString(Variant()), "");
    EXPECT_EQ(ToQString(Variant(42)), "42");

    for (const QDate date : {QDate(2026, 12, 7), QDate(2024, 2, 29), QDate(1969, 12, 31), QDate(1900, 1, 1)}) {
        EXPECT_EQ(ToQDate(ToDateTime(date)), date) << date.toString(Qt::ISODate).toStdString();
        EXPECT_EQ(ToVariant(date), Variant(ToDateTime(date)));
    }
    EXPECT_EQ(ToDateTime(QDate(2026, 12, 7)), DateTime::fromDate(2026, 12, 7));

    const QDateTime lateEvening(QDate(1969, 12, 31), QTime(23, 59, 58, 250), Qt::UTC);
    const DateTime converted = ToDateTime(lateEvening);
    EXPECT_EQ(converted.date(), DateTime::fromDate(1969, 12, 31));
    EXPECT_EQ(converted.nanoseconds, 250000000u);
    EXPECT_EQ(ToQDateTime(converted), lateEvening);
    // The wall-clock value is kept whatever zone the QDateTime was made in.
    EXPECT_EQ(ToDateTime(QDateTime(QDate(2026, 3, 29), QTime(2, 30), Qt::LocalTime)),
              DateTime::fromParts(2026, 3, 29, 2, 30, 0));

    EXPECT_THROW(ToDateTime(QDate()), std::invalid_argument);
    EXPECT_THROW(ToDateTime(QDateTime()), std::invalid_argument);
}
