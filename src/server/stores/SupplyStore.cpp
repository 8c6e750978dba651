#include "server/stores/SupplyStore.h"

namespace krv::server {

namespace {

constexpr const char* kKitchens =
    "SELECT 'N', cdfilial, nmfilial FROM branch WHERE cdfiliopelog = ? AND ol = 'N' ORDER BY cdfilial";

}  // namespace

std::vector<std::pair<std::string, std::string>> SupplyStore::kitchens(const std::string& logisticOperator) {
    std::vector<std::pair<std::string, std::string>> found;
    c_.each(kKitchens, {logisticOperator},
            [&](const db::ResultRow& row) { found.emplace_back(row.text(1), row.text(2)); });
    return found;
}

DataPacket SupplyStore::kitchenPacket(const std::string& logisticOperator) {
    return c_.packet(kKitchens, {logisticOperator},
                     {{"IDMARCADO", FieldType::String, 1},
                      {"CDFILIAL", FieldType::String, 4},
                      {"NMFILIAL", FieldType::String, 30}});
}

}  // namespace krv::server
