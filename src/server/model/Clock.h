#pragma once
#include <functional>

#include "core/DateTime.h"

namespace krv::server {

// The wall clock the server reads; tests pass a fixed one.
using Clock = std::function<DateTime()>;

// The machine's local date and time, as wall-clock values with no time zone.
DateTime localNow();

}  // namespace krv::server
