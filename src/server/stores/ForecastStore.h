#pragma once
#include <cstdint>
#include <string>

#include "core/DataPacket.h"
#include "core/DateTime.h"
#include "server/model/Requests.h"
#include "server/storage/Database.h"

namespace krv::server {

// The SQL of the consumption forecast, set-based like the requisition calculation's and
// built on the same quantities.
class ForecastStore {
public:
    explicit ForecastStore(db::Connection& connection) : c_(connection) {}

    // Deletes the operator's forecast of the request's days and writes the new one.
    // Returns the rows written.
    int64_t replace(const ForecastRequest& request);

    // The operator's forecast of those days, one row per branch, service, day and
    // product, with the names and the unit purchasing needs.
    DataPacket rows(const std::string& logisticOperator, DateTime start, DateTime end);

private:
    db::Connection& c_;
};

}  // namespace krv::server
