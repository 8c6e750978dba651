#include "host/controls/NumberEdit.h"

#include <QKeyEvent>
#include <QRegularExpression>
#include <QValidator>

#include "host/events/EventHelpers.h"

namespace krv::host {

namespace {

class NumberValidator : public QValidator {
public:
    NumberValidator(int decimals, QObject* parent)
        : QValidator(parent),
          pattern_(QRegularExpression::anchoredPattern(
              decimals > 0 ? QStringLiteral("-?\\d*(,\\d{0,%1})?").arg(decimals) : QStringLiteral("-?\\d*"))) {}

    State validate(QString& input, int&) const override {
        input.replace('.', ',');
        return pattern_.match(input).hasMatch() ? Acceptable : Invalid;
    }

private:
    QRegularExpression pattern_;
};

}  // namespace

TNumberEdit::TNumberEdit(QWidget* parent) : QLineEdit(parent) {
    setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    SetDecimals(0);
}

void TNumberEdit::SetDecimals(int decimals) {
    decimals_ = std::max(decimals, 0);
    delete validator();
    setValidator(new NumberValidator(decimals_, this));
}

double TNumberEdit::GetNumber() const {
    QString t = text();
    t.replace(',', '.');
    bool ok = false;
    const double value = t.toDouble(&ok);
    return ok ? value : 0.0;  // empty, "-" or "," alone
}

void TNumberEdit::SetNumber(double value) { setText(QString::number(value, 'f', decimals_).replace('.', ',')); }

void TNumberEdit::keyPressEvent(QKeyEvent* event) {
    const QString typed = event->text();
    if (!OnKeyPress || typed.size() != 1 || !typed[0].isPrint()) {
        QLineEdit::keyPressEvent(event);
        return;
    }
    QChar key = typed[0];
    // A hook that fails ends the key press as well.
    if (!Guard([&] { OnKeyPress(key); }) || key.isNull()) return;
    if (key == typed[0]) {
        QLineEdit::keyPressEvent(event);
        return;
    }
    QKeyEvent replaced(event->type(), 0, event->modifiers(), QString(key));
    QLineEdit::keyPressEvent(&replaced);
}

}  // namespace krv::host
