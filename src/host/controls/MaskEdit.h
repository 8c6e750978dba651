#pragma once
#include <QLineEdit>

namespace krv::host {

// The host's mask edit: a line edit restricted by an edit mask such as ">aaaa;0; "
// (letters or digits, letters turned to upper case, up to four) or "9999;0; " (up to four
// digits). Only the part before the first ';' counts: '>' upper-cases, each 'a' or 'A'
// allows an ASCII letter or digit, each '9' or '0' an ASCII digit; their count is the maximum length.
// The text holds no literals and no blanks; textChanged fires on every change, typed or set.
class TMaskEdit : public QLineEdit {
    Q_OBJECT
    Q_PROPERTY(QString editMask READ EditMask WRITE SetEditMask)
public:
    explicit TMaskEdit(QWidget* parent = nullptr);
    TMaskEdit(const QString& mask, QWidget* parent = nullptr);

    void SetEditMask(const QString& mask);
    const QString& EditMask() const { return mask_; }

private:
    QString mask_;
};

}  // namespace krv::host
