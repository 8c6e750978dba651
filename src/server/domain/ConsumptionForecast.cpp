#include "server/domain/ConsumptionForecast.h"

#include "server/stores/ForecastStore.h"

namespace krv::server {

int64_t calculateForecast(db::Connection& connection, const ForecastRequest& request) {
    // One transaction: a second forecast of the same operator either waits for this one
    // or is run again after it, so the stored days never mix the two.
    return connection.write([&](db::Connection& c) { return ForecastStore(c).replace(request); });
}

}  // namespace krv::server
