#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/DataPacket.h"
#include "core/DateTime.h"
#include "server/model/MakeUp.h"
#include "server/storage/Database.h"

namespace krv::server {

// Where a quantity was computed for: a branch's service on a day, one shift or all of them.
struct Kitchen {
    std::string branch;
    std::string service;
    std::optional<std::string> shift;  // nullopt: every shift (a forecast)
    DateTime day;
};

// A stored requisition item of one product, every type it was calculated for.
struct StoredItem {
    Kitchen kitchen;
    std::vector<StoredQuantity> quantities;
};

// The SQL behind the explanations: what was stored, and what today's tables give.
class ExplanationStore {
public:
    explicit ExplanationStore(db::Connection& connection) : c_(connection) {}

    std::optional<StoredItem> requisitionItem(int64_t requisition, const std::string& product);
    std::optional<double> forecast(const std::string& logisticOperator, const Kitchen& kitchen,
                                   const std::string& product);
    // The menu dishes, per capita and fixed consumption of the product in that kitchen,
    // one row per dish and shift, in one query.
    std::vector<MakeUpPart> makeUp(const Kitchen& kitchen, const std::string& product);

    // The requisition's products, one row each, with the quantity of each consumption type.
    DataPacket products(int64_t requisition);
    bool forecastExists(const std::string& logisticOperator, DateTime start, DateTime end);

    bool requisitionExists(int64_t requisition);
    bool productExists(const std::string& product);
    bool serviceExists(const std::string& branch, const std::string& service);

private:
    db::Connection& c_;
};

}  // namespace krv::server
