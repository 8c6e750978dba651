#pragma once
#include "core/DateTime.h"

namespace krv::server {

class Connection;

// Lists a client forgot to delete (a crashed screen, a lost connection) would pile up;
// anything older than a day cannot belong to a live screen any more. Returns how many went.
int purgeStaleLists(Connection& connection, DateTime now);

}  // namespace krv::server
