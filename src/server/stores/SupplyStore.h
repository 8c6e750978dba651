#pragma once
#include <string>
#include <utility>
#include <vector>

#include "core/DataPacket.h"
#include "server/storage/Database.h"

namespace krv::server {

// Which kitchens a logistic operator supplies.
class SupplyStore {
public:
    explicit SupplyStore(db::Connection& connection) : c_(connection) {}

    // (CDFILIAL, NMFILIAL) of every branch the operator supplies, by code.
    std::vector<std::pair<std::string, std::string>> kitchens(const std::string& logisticOperator);
    // The same as a packet: IDMARCADO, CDFILIAL, NMFILIAL.
    DataPacket kitchenPacket(const std::string& logisticOperator);

private:
    db::Connection& c_;
};

}  // namespace krv::server
