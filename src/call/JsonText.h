#pragma once
#include <string>
#include <vector>

#include "core/Variant.h"

namespace krv::call {

// The value as JSON. Dates become "YYYY-MM-DD[ hh:mm:ss]" strings, numbers that JSON cannot
// hold (NaN, infinities) become null, a packet becomes
// {"fields": [{"name", "type", "size"}…], "rows": [{FIELD: value…}…]}.
std::string jsonText(const Variant& value);

// A call's outcome as one JSON line: {"result": payload, "args": [arguments after the call]}.
std::string jsonReport(const Variant& payload, const std::vector<Variant>& args);

}  // namespace krv::call
