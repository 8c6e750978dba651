#pragma once
#include <cstdint>

#include "server/model/Requests.h"
#include "server/storage/Database.h"

namespace krv::server {

// Replaces the operator's forecast for those days with the consumption of every branch it
// supplies, per branch, service, day and product, in one transaction. Returns the rows
// written.
int64_t calculateForecast(db::Connection& connection, const ForecastRequest& request);

}  // namespace krv::server
