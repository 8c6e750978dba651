#pragma once
#include <string>
#include <vector>

#include "DataPacket.h"
#include "Variant.h"

namespace krv {

// A report query parameter.
class TParam {
public:
    explicit TParam(std::string name) : name_(std::move(name)) {}
    const std::string& Name() const { return name_; }
    const Variant& Value() const { return value_; }
    FieldType DataType() const { return type_; }
    void SetAsVariant(const Variant& v);  // type follows the value; arrays and packets: std::invalid_argument
    void SetAsInteger(int64_t v);
    void SetAsString(const std::string& v);

private:
    std::string name_;
    Variant value_;
    FieldType type_ = FieldType::String;
};

class TParams {
public:
    TParams() = default;
    explicit TParams(const std::vector<std::string>& names);
    // A name already there gives that parameter back. References stay valid until the next Add.
    TParam& Add(const std::string& name);
    TParam* FindParam(const std::string& name);    // case-insensitive, like the report engine
    TParam& ParamByName(const std::string& name);  // throws std::out_of_range when absent
    const std::vector<TParam>& Items() const { return items_; }

private:
    std::vector<TParam> items_;
};

bool ExistParam(TParams& params, const std::string& name);

}  // namespace krv
