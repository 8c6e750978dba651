#pragma once
#include <cstdint>
#include <map>
#include <optional>
#include <string>

#include "core/DataPacket.h"
#include "server/model/Requests.h"
#include "server/storage/Database.h"
#include "server/stores/OrderStore.h"

namespace krv::server {

// The SQL of order previews: the lines a generation would write, and the state of a
// list's requisitions that a preview remembers.
// The fields of a preview: one row per order line, ordered by the provisional order
// sequence (1 for the first order the generation would make, in the order it numbers them)
// and product. An order whose requisitions have no items shows as one row without product.
const std::vector<FieldDef>& previewFields();

class OrderPreviewStore {
public:
    explicit OrderPreviewStore(db::Connection& connection) : c_(connection) {}

    // previewFields() rows; the packages and surplus are left for the caller.
    DataPacket lines(const OrderRequest& request);
    // The same rows for lines netted of stock, of the orders numbered as given.
    DataPacket nettedLines(const std::vector<std::pair<int64_t, const OrderStore::Group*>>& orders,
                           const std::vector<OrderStore::Line>& lines, int64_t roundedRequisitions);

    // Each open listed requisition of the request's period, with a digest of its items.
    using Digests = std::map<int64_t, std::string>;
    Digests openListed(const OrderRequest& request);

    struct Remembered {
        std::string arguments;
        Digests requisitions;
    };
    std::optional<Remembered> remembered(int64_t list);
    // Replaces what the list remembers; inside the caller's transaction.
    void remember(int64_t list, const Remembered& preview);
    void forget(int64_t list);

private:
    db::Connection& c_;
};

}  // namespace krv::server
