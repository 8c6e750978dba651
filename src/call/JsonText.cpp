#include "call/JsonText.h"

#include <cmath>
#include <nlohmann/json.hpp>

#include "call/ValueText.h"
#include "core/DataPacket.h"

namespace krv::call {
namespace {

// ordered_json: fields and row cells keep the packet's order instead of the alphabet's.
using Json = nlohmann::ordered_json;

Json jsonValue(const Variant& value);

Json jsonPacket(const DataPacket& packet) {
    Json fields = Json::array();
    for (const FieldDef& field : packet.fields)
        fields.push_back({{"name", field.name}, {"type", fieldTypeName(field.type)}, {"size", field.size}});
    Json rows = Json::array();
    for (const auto& row : packet.rows) {
        Json cells = Json::object();
        for (size_t i = 0; i < packet.fields.size(); ++i)
            cells[packet.fields[i].name] = i < row.size() ? jsonValue(row[i]) : Json();
        rows.push_back(std::move(cells));
    }
    return {{"fields", std::move(fields)}, {"rows", std::move(rows)}};
}

Json jsonValue(const Variant& value) {
    switch (value.type()) {
        case Variant::Type::Null:
            return nullptr;
        case Variant::Type::Bool:
            return value.asBool();
        case Variant::Type::Int:
            return value.asInt();
        case Variant::Type::Double:
            return std::isfinite(value.asDouble()) ? Json(value.asDouble()) : Json();
        case Variant::Type::String:
            return value.str();
        case Variant::Type::DateTime:
            return scalarText(value);
        case Variant::Type::Array: {
            Json items = Json::array();
            for (const Variant& item : value.array()) items.push_back(jsonValue(item));
            return items;
        }
        case Variant::Type::Packet:
            return jsonPacket(value.packet());
    }
    return nullptr;
}

// Text from the server is meant to be UTF-8; a stray byte becomes U+FFFD instead of
// costing the whole output.
std::string dump(const Json& json) { return json.dump(-1, ' ', false, Json::error_handler_t::replace); }

}  // namespace

std::string jsonText(const Variant& value) { return dump(jsonValue(value)); }

std::string jsonReport(const Variant& payload, const std::vector<Variant>& args) {
    Json argList = Json::array();
    for (const Variant& arg : args) argList.push_back(jsonValue(arg));
    return dump({{"result", jsonValue(payload)}, {"args", std::move(argList)}}) + "\n";
}

}  // namespace krv::call
