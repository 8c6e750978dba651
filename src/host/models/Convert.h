#pragma once
#include <QDate>
#include <QDateTime>
#include <QString>
#include <QTime>
#include <stdexcept>
#include <string>

#include "core/DateTime.h"
#include "core/Variant.h"

// Conversions between the Qt types the screens hold and the core types that travel to the
// server. Strings are UTF-8 on the core side; date-times are wall-clock values with no zone.
namespace krv::host {

inline std::string ToStd(const QString& text) { return text.toStdString(); }
inline QString ToQString(const std::string& text) { return QString::fromStdString(text); }
inline QString ToQString(const Variant& value) { return QString::fromStdString(value.asString()); }
inline Variant ToVariant(const QString& text) { return Variant(text.toStdString()); }

// An invalid QDate has no DateTime: turning it into the epoch would send a wrong date.
inline DateTime ToDateTime(const QDate& date) {
    if (!date.isValid()) throw std::invalid_argument("Data inválida");
    return DateTime::fromDate(date.year(), date.month(), date.day());
}

inline DateTime ToDateTime(const QDateTime& when) {
    if (!when.isValid()) throw std::invalid_argument("Data inválida");
    const QDate d = when.date();
    const QTime t = when.time();
    DateTime result = DateTime::fromParts(d.year(), d.month(), d.day(), t.hour(), t.minute(), t.second());
    result.nanoseconds = uint32_t(t.msec()) * 1000000u;
    return result;
}

inline QDate ToQDate(const DateTime& when) { return QDate(when.year(), when.month(), when.day()); }

// A QDateTime in UTC keeps the wall-clock value away from daylight-saving gaps.
inline QDateTime ToQDateTime(const DateTime& when) {
    const int64_t secondsOfDay = when.seconds - when.date().seconds;
    const QTime time = QTime(0, 0).addSecs(int(secondsOfDay)).addMSecs(int(when.nanoseconds / 1000000u));
    return QDateTime(ToQDate(when), time, Qt::UTC);
}

inline Variant ToVariant(const QDate& date) { return Variant(ToDateTime(date)); }

}  // namespace krv::host
