#pragma once
#include <string>

#include "DataPacket.h"
#include "Variant.h"

namespace krv {

// Null, or an empty string: both read as "no value" in data sets and filters.
bool isBlank(const Variant& v);

// The Variant type in which a field of type `t` keeps its values.
inline Variant::Type storedType(FieldType t) {
    switch (t) {
        case FieldType::Integer:
            return Variant::Type::Int;
        case FieldType::Float:
            return Variant::Type::Double;
        case FieldType::DateTime:
            return Variant::Type::DateTime;
        case FieldType::Bool:
            return Variant::Type::Bool;
        default:
            return Variant::Type::String;
    }
}

// True when `v` is already stored the way a field of type `t` keeps its values: null or
// its stored type, and no empty string. Inline: SetData asks it of every cell.
inline bool hasFieldForm(const Variant& v, FieldType t) {
    const Variant::Type type = v.type();
    return type == Variant::Type::Null ||
           (type == storedType(t) && (type != Variant::Type::String || !v.str().empty()));
}

// Converts a value to the form a field of type `t` stores. Empty strings become null;
// numbers, dates and flags given as text are parsed. Throws std::invalid_argument, naming
// the field, when the value cannot be of that type (nothing is ever silently truncated).
Variant toFieldForm(Variant v, FieldType t, const std::string& fieldName);

}  // namespace krv
