#pragma once
#include <QSize>

class QWidget;

namespace krv::host {

// A screen's size as the user last left it, kept from one session to the next (QSettings of
// the organisation "krv", application "krv-host") under the screen's class name.
// Restore gives the screen that size, or `firstSize` the first time; either is kept within
// the screen's available area.
void RestoreScreenSize(QWidget* screen, QSize firstSize);
void SaveScreenSize(const QWidget* screen);

}  // namespace krv::host
