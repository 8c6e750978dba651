#pragma once
#include "host/session/Session.h"

namespace krv::app {

// Asks the operator and password (pre-filled with session.operador) until the session's
// server accepts them, and leaves them in `session`, which is then the current one. The
// dialog stays up while the server decides; a refused login asks again in it with the
// operator kept and the password cleared; a server that cannot be reached says why there
// too, so the user may retry or give up.
// False when the user cancels.
bool LogInToServer(host::SessionInfo& session);

}  // namespace krv::app
