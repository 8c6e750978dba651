#pragma once
#include <cstdint>
#include <string>

#include "core/DateTime.h"
#include "server/storage/Database.h"

namespace krv::server {

// One forecast, its arguments already checked: the operator is a logistic-operator branch.
struct ForecastRequest {
    std::string logisticOperator;
    DateTime start;  // dates, both included
    DateTime end;
    std::string operatorCode;  // who asked, recorded on every row
    DateTime now;
};

// Replaces the operator's forecast for those days with the consumption of every branch it
// supplies, per branch, service, day and product, in one transaction. Returns the rows
// written.
int64_t calculateForecast(db::Connection& connection, const ForecastRequest& request);

}  // namespace krv::server
