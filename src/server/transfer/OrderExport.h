#pragma once
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "server/model/Requests.h"
#include "server/storage/Database.h"

namespace krv::server::transfer {

struct OrderExportFilter {
    Period period;                                // delivery days, both included
    std::optional<std::string> logisticOperator;  // orders addressed to it; nullopt: all
};

struct ExportedOrders {
    size_t orders = 0;
    size_t lines = 0;
    std::vector<int64_t> notSentYet;  // of those written, the ones still active
};

// Writes pedidos.csv (one row per order that is not cancelled) and itens_pedido.csv (one
// row per line of those orders) into `folder`, in the export's spreadsheet conventions,
// for another system to read. Reads inside the caller's transaction, so that what is
// written is exactly what a marking in the same transaction marks. Throws
// std::runtime_error when a file cannot be written.
ExportedOrders exportOrders(db::Connection& connection, const std::filesystem::path& folder,
                            const OrderExportFilter& filter);

}  // namespace krv::server::transfer
