#pragma once
#include <QIcon>

namespace krv::app {

// The host's own icon, for its main window and every window it opens: a plate with a fork
// and a knife on green, drawn at the sizes window managers ask for.
QIcon AppIcon();

}  // namespace krv::app
