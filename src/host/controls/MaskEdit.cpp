#include "host/controls/MaskEdit.h"

#include <QValidator>

#include <stdexcept>

#include "host/controls/CodeChars.h"

namespace krv::host {

namespace {

// Accepts a prefix of the mask's positions; turns letters to upper case when asked. Codes
// hold ASCII letters and digits only, as the server's rule for codes says: an accented
// letter or another script's digit would get past the field only to be refused there.
class MaskValidator : public QValidator {
public:
    MaskValidator(QString positions, bool upper, QObject* parent)
        : QValidator(parent), positions_(std::move(positions)), upper_(upper) {}

    State validate(QString& input, int&) const override {
        if (input.size() > positions_.size()) return Invalid;
        for (int i = 0; i < input.size(); ++i) {
            const bool ok = positions_[i] == '9' ? IsAsciiDigit(input[i]) : IsAsciiLetterOrDigit(input[i]);
            if (!ok) return Invalid;
        }
        if (upper_) input = input.toUpper();
        return Acceptable;
    }

private:
    QString positions_;  // '9' digit, 'a' letter or digit
    bool upper_;
};

}  // namespace

TMaskEdit::TMaskEdit(QWidget* parent) : QLineEdit(parent) {}

TMaskEdit::TMaskEdit(const QString& mask, QWidget* parent) : QLineEdit(parent) { SetEditMask(mask); }

void TMaskEdit::SetEditMask(const QString& mask) {
    const QString pattern = mask.section(';', 0, 0);
    QString positions;
    bool upper = false;
    for (QChar c : pattern) {
        if (c == '>')
            upper = true;
        else if (c == '9' || c == '0')
            positions += '9';
        else if (c == 'a' || c == 'A')
            positions += 'a';
        else
            throw std::invalid_argument("unsupported edit mask character in " + mask.toStdString());
    }
    mask_ = mask;
    delete validator();
    setValidator(new MaskValidator(positions, upper, this));
    setMaxLength(int(positions.size()));
}

}  // namespace krv::host
