#pragma once
#include <map>
#include <string>

#include "core/Variant.h"
#include "server/access/Permissions.h"
#include "server/storage/Database.h"

namespace krv::server {

// The queries of the order documents of "Host.rdmRelatorio"; only the orders the caller sees
// (Permissions::orderViewer()) are shown, and a branch or order outside its scope is refused.
// KRV521, "Pedido ao Operador Logístico": P_CDFILIAL (kitchen, logistic operator or "T"),
// P_DATAINI, P_DATAFIN, P_PEDIDOS ("T" or "_1_2_", orders that must be in the filter),
// P_IDQUEBRAPAGINA.
Variant orderDocument(db::Connection& c, const std::map<std::string, Variant>& params, const Permissions& caller);
// KRV522, "Lista de Separação": P_CDFILIAL (a logistic operator), P_DATAINI, P_DATAFIN,
// P_IDRESUMO.
Variant pickListDocument(db::Connection& c, const std::map<std::string, Variant>& params,
                         const Permissions& caller);

}  // namespace krv::server
