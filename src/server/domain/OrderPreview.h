#pragma once
#include <cstdint>
#include <vector>

#include "core/DataPacket.h"
#include "server/domain/OrderGeneration.h"
#include "server/storage/Database.h"
#include "server/stores/OrderPreviewStore.h"

namespace krv::server {

// The orders generateOrders() would make of this request now, written nowhere. The list
// remembers what was previewed, so that generateOrders() makes exactly that or nothing.
// Refuses, as the generation does, when no listed requisition is open.
DataPacket previewOrders(db::Connection& connection, const OrderRequest& request);

// Inside the generation's transaction. A generation over a list that was previewed must make
// what the preview showed: it is refused when it is asked with other choices than the
// preview, or when a listed requisition was ordered, freed or recalculated since. The
// message names the requisitions that changed.
void requireAsPreviewed(db::Connection& connection, const OrderRequest& request);
// Claims the kitchens of the request's list (and its branch): generation and preview hold
// them, so no calculation, cancellation or other generation changes what they read.
void claimKitchensOf(db::Connection& connection, const OrderRequest& request);
// The preview was used: a later generation over the same list is judged without it.
void forgetPreview(db::Connection& connection, int64_t list);

}  // namespace krv::server
