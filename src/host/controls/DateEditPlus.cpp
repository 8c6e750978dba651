#include "host/controls/DateEditPlus.h"

#include <QAction>
#include <QCalendarWidget>
#include <QKeyEvent>
#include <QRegularExpressionValidator>
#include <QStyle>

namespace krv::host {

namespace {

// Only the full form is a date, so each date has one text and one text one date.
std::optional<DateTime> parseText(const QString& text) {
    if (text.size() != 10) return std::nullopt;
    return DateTime::parseBr(text.toStdString());
}

QDate toQDate(DateTime d) { return QDate(d.year(), d.month(), d.day()); }

}  // namespace

TDateEditPlus::TDateEditPlus(QWidget* parent) : QLineEdit(parent) {
    setMaxLength(10);
    setValidator(new QRegularExpressionValidator(QRegularExpression("[0-9/]{0,10}"), this));
    QAction* open = addAction(style()->standardIcon(QStyle::SP_ArrowDown), QLineEdit::TrailingPosition);
    open->setToolTip(QStringLiteral("Calendário"));
    connect(open, &QAction::triggered, this, &TDateEditPlus::ShowCalendar);
    connect(this, &QLineEdit::textChanged, this, &TDateEditPlus::textToDate);
}

TDateEditPlus::~TDateEditPlus() = default;

void TDateEditPlus::textToDate(const QString& text) {
    const std::optional<DateTime> before = date_;
    date_ = parseText(text);
    applyColor();
    emit changed();
    if (date_ && date_ != before) emit dateChanged(*date_);
}

DateTime TDateEditPlus::GetDate() const {
    if (IsEmpty()) return DateTime{};
    if (!date_) throw EInvalidDate(QStringLiteral("'%1' não é uma data válida.").arg(text()).toStdString());
    return *date_;
}

void TDateEditPlus::SetDate(DateTime date) { setText(QString::fromStdString(date.date().toBr())); }

void TDateEditPlus::CheckValidDate() {
    if (IsEmpty() || date_) return;
    if (isEnabled() && isVisible()) setFocus(Qt::OtherFocusReason);
    GetDate();
}

void TDateEditPlus::SetValidDateColor(const QColor& color) {
    validColor_ = color;
    applyColor();
}

void TDateEditPlus::SetWeekdayNames(const QStringList& names) {
    weekdayNames_ = names;
    applyColor();
}

void TDateEditPlus::applyColor() {
    // A disabled edit keeps the disabled look: the date colour is for dates one may change.
    QPalette pal = palette();
    const QPalette plain;
    for (const auto group : {QPalette::Active, QPalette::Inactive})
        pal.setColor(group, QPalette::Text,
                     date_ && validColor_.isValid() ? validColor_ : plain.color(group, QPalette::Text));
    setPalette(pal);
    // The weekday of the date shown, as a hint.
    const bool named = date_ && weekdayNames_.size() == 7;
    setToolTip(named ? weekdayNames_[date_->dayOfWeek()] : QString());
}

void TDateEditPlus::ShowCalendar() {
    if (!calendar_) {
        calendar_ = std::make_unique<QCalendarWidget>();
        calendar_->setWindowFlags(Qt::Popup);
        calendar_->setLocale(QLocale(QLocale::Portuguese, QLocale::Brazil));
        calendar_->setAttribute(Qt::WA_DeleteOnClose, false);
        connect(calendar_.get(), &QCalendarWidget::clicked, this, [this](QDate d) {
            SetDate(DateTime::fromDate(d.year(), d.month(), d.day()));
            calendar_->hide();
            setFocus(Qt::PopupFocusReason);
        });
        connect(calendar_.get(), &QCalendarWidget::activated, calendar_.get(), &QCalendarWidget::clicked);
    }
    if (date_) calendar_->setSelectedDate(toQDate(*date_));
    calendar_->move(mapToGlobal(QPoint(0, height())));
    calendar_->show();
    calendar_->setFocus(Qt::PopupFocusReason);
}

QCalendarWidget* TDateEditPlus::Calendar() const {
    return calendar_ && calendar_->isVisible() ? calendar_.get() : nullptr;
}

void TDateEditPlus::keyPressEvent(QKeyEvent* event) {
    const bool opens =
        event->key() == Qt::Key_F4 || (event->key() == Qt::Key_Down && (event->modifiers() & Qt::AltModifier));
    if (opens && isEnabled() && !isReadOnly()) {
        ShowCalendar();
        return;
    }
    // Typing digits only still gives dd/mm/yyyy: the slashes come by themselves.
    const bool digitAtEnd = event->text().size() == 1 && event->text()[0].isDigit() && !hasSelectedText() &&
                            cursorPosition() == text().size();
    if (digitAtEnd && (text().size() == 2 || text().size() == 5) && !isReadOnly()) insert(QStringLiteral("/"));
    QLineEdit::keyPressEvent(event);
}

}  // namespace krv::host
