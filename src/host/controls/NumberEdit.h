#pragma once
#include <QLineEdit>

#include <functional>

namespace krv::host {

// The host's number edit: a decimal number typed with ',' or '.' as the decimal separator
// (shown as ','), an optional leading '-', at most Decimals digits after the separator and
// no thousands separator. An empty edit reads as 0.
class TNumberEdit : public QLineEdit {
    Q_OBJECT
    Q_PROPERTY(int decimals READ Decimals WRITE SetDecimals)
public:
    explicit TNumberEdit(QWidget* parent = nullptr);

    int Decimals() const { return decimals_; }
    void SetDecimals(int decimals);

    double GetNumber() const;
    void SetNumber(double value);

    // Runs before the edit handles a typed character; setting `key` to QChar(0) discards
    // the key press, another character replaces it.
    std::function<void(QChar& key)> OnKeyPress;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    int decimals_ = 0;
};

}  // namespace krv::host
