#pragma once
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "core/DateTime.h"
#include "server/storage/Database.h"

namespace krv::server {

// The SQL of order cancellation; every method inside the caller's transaction.
class OrderCancelStore {
public:
    explicit OrderCancelStore(db::Connection& connection) : c_(connection) {}

    struct State {
        bool cancelled = false;
        bool ofBranch = false;               // the order is for the branch, or orders some of its requisitions
        std::optional<DateTime> sentOn;      // handed on to its logistic operator
        std::optional<DateTime> receivedOn;  // received by its kitchen
    };
    // The state of each of these orders that exists and that `generatedBy` generated: to
    // another operator, an order of someone else is as good as missing.
    std::map<int64_t, State> states(const std::vector<int64_t>& orders, const std::string& branch,
                                    const std::string& generatedBy);
    // The kitchens of these orders and of their requisitions: what a cancellation claims.
    std::vector<std::string> kitchens(const std::vector<int64_t>& orders);
    void markCancelled(const std::vector<int64_t>& orders, const std::string& operatorCode, DateTime now);
    // Their requisitions back to no order; returns how many.
    int64_t freeRequisitions(const std::vector<int64_t>& orders);

private:
    db::Connection& c_;
};

}  // namespace krv::server
