#pragma once

class QWidget;

namespace krv::host {

// Which server action each button of the module's screens does, kept in one table. A button
// whose action the session's role may not do stays disabled whatever its screen's own rules
// later enable, and its tooltip is the server's own refusal; its key clicks only an enabled
// button, so neither leads to a refusal. Each screen calls it once its buttons exist.
void GuardRoleActions(QWidget* screen);

}  // namespace krv::host
