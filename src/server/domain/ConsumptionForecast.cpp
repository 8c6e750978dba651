#include "server/domain/ConsumptionForecast.h"

#include "server/stores/ForecastStore.h"

namespace krv::server {

int64_t calculateForecast(db::Connection& connection, const ForecastRequest& request) {
    // One transaction, holding the logistic operator: a second forecast of the same operator
    // waits for this one and then starts over on what it wrote, so the stored days never mix.
    return connection.write(
        [&](db::Connection& c) {
            c.claim(db::ClaimKind::Supplier, {request.logisticOperator});
            return ForecastStore(c).replace(request);
        },
        db::WriteKind::Claimed);
}

}  // namespace krv::server
