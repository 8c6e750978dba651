#pragma once
#include <string>

#include "core/DataPacket.h"
#include "core/Variant.h"

namespace krv::call {

// A scalar as a person reads it: dates as YYYY-MM-DD (with the time when not midnight),
// numbers in their shortest exact form, null as "null".
std::string scalarText(const Variant& value);

// Any value on its own: scalars plainly, arrays as [a, "b", null], packets as a table.
std::string plainText(const Variant& value);

// The packet as a table with aligned columns (numbers to the right) and a row count.
std::string tableText(const DataPacket& packet);

}  // namespace krv::call
