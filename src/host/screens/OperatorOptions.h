#pragma once

class QCheckBox;
class QWidget;

namespace krv::host {

// A screen's option as the session's operator last left it, kept from one session to the
// next (QSettings of the organisation "krv", application "krv-host") under the operator, the
// screen's class name and the control's name: the box starts as it was left and each change
// is kept at once. The form's own state is the first time's.
void RememberPerOperator(const QWidget* screen, QCheckBox* option);

}  // namespace krv::host
