#pragma once
#include <QColor>
#include <QLineEdit>
#include <QStringList>

#include <memory>
#include <optional>
#include <stdexcept>

#include "core/DateTime.h"

class QCalendarWidget;

namespace krv::host {

// The date edit's own error: its text is no valid date.
struct EInvalidDate : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// The host's date edit: typed "dd/mm/yyyy" text (digits and '/' only, at most 10) that may
// be empty; a date only, no time. On every change of the text, typed or set, it emits
// changed() and then, when the text became a valid date other than the one it showed just
// before, dateChanged(): a handler of the first may clear what one of the second fills.
// (textChanged fires too, but other handlers of it may run after dateChanged.)
// Digits typed at the end get their slashes; F4, Alt+Down or the button at its right open a
// calendar.
class TDateEditPlus : public QLineEdit {
    Q_OBJECT
    Q_PROPERTY(QColor validDateColor READ ValidDateColor WRITE SetValidDateColor)
    Q_PROPERTY(QStringList weekdayNames READ WeekdayNames WRITE SetWeekdayNames)
public:
    explicit TDateEditPlus(QWidget* parent = nullptr);
    ~TDateEditPlus() override;

    // The date of the text; the null date (DateTime{}) when empty. Text that is no date
    // raises EInvalidDate rather than answer a date the user does not see.
    DateTime GetDate() const;
    // The date of the text, or nothing when it is empty or no date.
    std::optional<DateTime> Date() const { return date_; }
    void SetDate(DateTime date);  // the time part is dropped
    bool IsEmpty() const { return text().isEmpty(); }

    // Raises EInvalidDate ("'…' não é uma data válida.") and takes the focus when the
    // text is not empty and no valid date.
    void CheckValidDate();

    // Colour of the text while it is a valid date.
    void SetValidDateColor(const QColor& color);
    const QColor& ValidDateColor() const { return validColor_; }
    // Weekday names from Sunday, for the calendar's column titles.
    void SetWeekdayNames(const QStringList& names);
    const QStringList& WeekdayNames() const { return weekdayNames_; }

    // Opens the calendar below the edit; picking a day sets the date.
    void ShowCalendar();
    QCalendarWidget* Calendar() const;  // the open calendar, or nullptr

signals:
    void changed();
    void dateChanged(krv::DateTime date);

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void textToDate(const QString& text);
    void applyColor();

    std::optional<DateTime> date_;
    QColor validColor_;
    QStringList weekdayNames_;
    // A window of its own, not a child: the edit's colours (a pale background set by style
    // sheet, the valid-date text colour) would otherwise reach the calendar and hide its
    // month and year.
    std::unique_ptr<QCalendarWidget> calendar_;
};

}  // namespace krv::host
