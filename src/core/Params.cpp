#include "Params.h"

#include <stdexcept>

#include "Text.h"

namespace krv {

void TParam::SetAsVariant(const Variant& v) {
    switch (v.type()) {
        case Variant::Type::Null:
            break;  // a null keeps the type the parameter had
        case Variant::Type::Bool:
            type_ = FieldType::Bool;
            break;
        case Variant::Type::Int:
            type_ = FieldType::Integer;
            break;
        case Variant::Type::Double:
            type_ = FieldType::Float;
            break;
        case Variant::Type::String:
            type_ = FieldType::String;
            break;
        case Variant::Type::DateTime:
            type_ = FieldType::DateTime;
            break;
        default:
            throw std::invalid_argument("Parâmetro " + name_ + ": uma lista não pode ser valor de parâmetro");
    }
    value_ = v;
}

void TParam::SetAsInteger(int64_t v) {
    value_ = v;
    type_ = FieldType::Integer;
}

void TParam::SetAsString(const std::string& v) {
    value_ = v;
    type_ = FieldType::String;
}

TParams::TParams(const std::vector<std::string>& names) {
    for (const std::string& name : names) Add(name);
}

TParam& TParams::Add(const std::string& name) {
    if (TParam* existing = FindParam(name)) return *existing;
    return items_.emplace_back(name);
}

TParam* TParams::FindParam(const std::string& name) {
    for (TParam& p : items_)
        if (equalsIgnoringAsciiCase(p.Name(), name)) return &p;
    return nullptr;
}

TParam& TParams::ParamByName(const std::string& name) {
    if (TParam* p = FindParam(name)) return *p;
    throw std::out_of_range("Parâmetro '" + name + "' não existe");
}

bool ExistParam(TParams& params, const std::string& name) { return params.FindParam(name) != nullptr; }

}  // namespace krv
