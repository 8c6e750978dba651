#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "core/DateTime.h"
#include "server/storage/Database.h"

namespace krv::server {

// Who did what for which branch, from the rows that already record their operator and moment:
// requisitions (calculations), forecasts, orders (generations) and cancellations. A
// calculation replaces the requisitions of its days, so only the latest one of a day remains.
class AuditStore {
public:
    explicit AuditStore(db::Connection& connection) : c_(connection) {}

    struct Entry {
        DateTime moment;
        std::string operatorName;
        std::string action;  // "calculou requisições", …
        std::string branch;
        int64_t rows = 0;  // requisitions, forecast lines or orders written at that moment
    };
    // From the first day to the last, both whole; by moment, operator, action and branch.
    std::vector<Entry> between(DateTime firstDay, DateTime lastDay);

private:
    db::Connection& c_;
};

}  // namespace krv::server
