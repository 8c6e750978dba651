#include "DataPacket.h"

#include "Text.h"

namespace krv {
namespace {

constexpr struct {
    FieldType type;
    const char* name;
} kTypeNames[] = {
    {FieldType::String, "string"}, {FieldType::Fixed, "fixed"},       {FieldType::Integer, "integer"},
    {FieldType::Float, "float"},   {FieldType::DateTime, "datetime"}, {FieldType::Bool, "bool"},
};

}  // namespace

const char* fieldTypeName(FieldType t) {
    for (const auto& entry : kTypeNames)
        if (entry.type == t) return entry.name;
    return "?";
}

bool fieldTypeFromName(const std::string& name, FieldType& out) {
    for (const auto& entry : kTypeNames)
        if (name == entry.name) {
            out = entry.type;
            return true;
        }
    return false;
}

int DataPacket::fieldIndex(const std::string& name) const {
    for (size_t i = 0; i < fields.size(); ++i)
        if (equalsIgnoringAsciiCase(fields[i].name, name)) return int(i);
    return -1;
}

}  // namespace krv
