#pragma once
#include <string>

#include "DataPacket.h"
#include "Variant.h"

namespace krv {

// Null, or an empty string: both read as "no value" in data sets and filters.
bool isBlank(const Variant& v);

// True when `v` is already stored the way a field of type `t` keeps its values:
// null, a non-empty string for String/Fixed, an integer, a double, a date, a bool.
bool hasFieldForm(const Variant& v, FieldType t);

// Converts a value to the form a field of type `t` stores. Empty strings become null;
// numbers, dates and flags given as text are parsed. Throws std::invalid_argument, naming
// the field, when the value cannot be of that type (nothing is ever silently truncated).
Variant toFieldForm(Variant v, FieldType t, const std::string& fieldName);

}  // namespace krv
