#pragma once
#include <QKeySequence>
#include <vector>

class QAbstractButton;
class QWidget;

namespace krv::test {

// A button, where the focus is when its key is pressed, and the key.
struct ButtonKey {
    QAbstractButton* button;
    QWidget* focus;
    QKeySequence key;
};

// For each case in order: the button's tooltip ends with its key, and the key pressed with
// the focus on `focus` clicks the button once, or not at all while it is disabled. Then
// every flat button of `screen` must be one of the cases.
void ExpectButtonKeys(QWidget* screen, const std::vector<ButtonKey>& cases);

}  // namespace krv::test
