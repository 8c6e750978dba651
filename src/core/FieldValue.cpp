#include "FieldValue.h"

#include <cmath>
#include <stdexcept>

#include "Text.h"

namespace krv {
namespace {

[[noreturn]] void reject(const Variant& v, const std::string& fieldName, const char* wanted) {
    std::string shown = v.asString();
    if (shown.size() > 40) shown = shown.substr(0, 40) + "…";
    throw std::invalid_argument("Campo " + fieldName + ": valor '" + shown + "' não é " + wanted);
}

Variant toText(Variant v, const std::string& fieldName) {
    if (v.type() == Variant::Type::Array || v.type() == Variant::Type::Packet) reject(v, fieldName, "um texto");
    if (v.isString()) return v.str().empty() ? Variant() : std::move(v);
    return v.asString();
}

Variant toInteger(const Variant& v, const std::string& fieldName) {
    int64_t i = 0;
    switch (v.type()) {
        case Variant::Type::Bool:
            return v.asInt();
        case Variant::Type::Double: {
            const double d = v.asDouble();
            if (d == std::trunc(d) && std::abs(d) < 9.2e18) return int64_t(d);
            break;
        }
        case Variant::Type::String:
            if (parseInteger(v.str(), i)) return i;
            break;
        default:
            break;
    }
    reject(v, fieldName, "um número inteiro");
}

Variant toFloat(const Variant& v, const std::string& fieldName) {
    double d = 0;
    if (v.isNumber()) return v.asDouble();
    if (v.isString() && parseNumber(v.str(), d)) return d;
    reject(v, fieldName, "um número");
}

Variant toDateTime(const Variant& v, const std::string& fieldName) {
    if (v.isString()) {
        const std::string s(trimmed(v.str()));
        if (auto d = DateTime::parseBr(s)) return *d;
        if (auto d = DateTime::parseIso(s)) return *d;
    }
    reject(v, fieldName, "uma data");
}

Variant toBool(const Variant& v, const std::string& fieldName) {
    if (v.isNumber()) return v.asBool();
    if (v.isString()) {
        const std::string_view s = trimmed(v.str());
        for (const char* yes : {"S", "T", "true", "1"})
            if (equalsIgnoringAsciiCase(s, yes)) return true;
        for (const char* no : {"N", "F", "false", "0"})
            if (equalsIgnoringAsciiCase(s, no)) return false;
    }
    reject(v, fieldName, "um valor lógico (S/N)");
}

}  // namespace

bool isBlank(const Variant& v) { return v.isNull() || (v.isString() && v.str().empty()); }

Variant toFieldForm(Variant v, FieldType t, const std::string& fieldName) {
    if (hasFieldForm(v, t)) return v;
    if (isBlank(v)) return {};
    switch (t) {
        case FieldType::String:
        case FieldType::Fixed:
            return toText(std::move(v), fieldName);
        case FieldType::Integer:
            return toInteger(v, fieldName);
        case FieldType::Float:
            return toFloat(v, fieldName);
        case FieldType::DateTime:
            return toDateTime(v, fieldName);
        case FieldType::Bool:
            return toBool(v, fieldName);
    }
    return v;
}

}  // namespace krv
