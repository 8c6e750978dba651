#pragma once
#include <cstdint>
#include <vector>

#include "core/DataPacket.h"
#include "server/stores/OrderReadStore.h"

namespace krv::server {

// Why an order line buys what it buys, as explanation rows (explanationFields()): the need,
// each part of it met from stock ("Saldo de 14/12: 4,540 L (sobra da embalagem recebida em
// 13/12, validade 5 dias)", "Contagem de 12/12: 10 kg"), what passed its shelf life (no
// quantity: it met nothing), the rounding to packages, and the TOTAL bought, which the
// quantities above add up to.
DataPacket explainOrderLine(const OrderReadStore::LineFigures& line);

// The same stock rows, with no quantity, for the explanation of a requisition item that the
// line fed: they say how its order was netted, not how the item was calculated.
std::vector<Row> stockRowsFor(int64_t order, const OrderReadStore::LineFigures& line);

}  // namespace krv::server
