#include "server/domain/RequisitionCalculation.h"

#include "rpc/Dispatcher.h"
#include "server/stores/CalculationStore.h"
#include "server/stores/ListStore.h"

namespace krv::server {

CalculationOutcome calculateRequisitions(db::Connection& connection, const CalculationRequest& request,
                                         std::optional<int64_t> renewed) {
    // One transaction, holding the kitchen: a second calculation of the same kitchen, or a
    // generation of its orders, waits for this one, so the requisitions are never a mix.
    return connection.write(
        [&](db::Connection& c) {
            c.claim(db::ClaimKind::Kitchen, {request.branch});
            CalculationStore store(c);
            if (const auto missing = store.missingDefault(request.types)) throw rpc::MethodFailure(*missing);
            if (store.anyOrdered(request)) throw rpc::MethodFailure("ERR_JA_EXISTE_PED");
            const std::vector<int64_t> written = store.replaceItems(request);
            CalculationOutcome outcome;
            outcome.list = ListStore(c, request.operatorCode)
                               .storeRequisitions(ListKind::Calculation, written, renewed, request.now);
            outcome.requisitions = int64_t(written.size());
            outcome.items = store.itemCount(request);
            outcome.gaps = findGaps(store, request);
            return outcome;
        },
        db::WriteKind::Claimed);
}

}  // namespace krv::server
