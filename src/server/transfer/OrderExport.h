#pragma once
#include <cstdint>
#include <filesystem>
#include <functional>
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
    size_t marked = 0;  // what the marking answered
};

// Marks the orders sent (still active ones of those to be written) and answers how many it marked.
using OrderMarking = std::function<size_t(const std::vector<int64_t>& active)>;

// Writes pedidos.csv (one row per order that is not cancelled) and itens_pedido.csv (one
// row per line of those orders) into `folder`, in the export's spreadsheet conventions,
// for another system to read. Reads inside the caller's transaction; a marking given runs
// first, in it, so that the file shows each order in the state the run leaves it in.
// Throws std::runtime_error when a file cannot be written.
ExportedOrders exportOrders(db::Connection& connection, const std::filesystem::path& folder,
                            const OrderExportFilter& filter, const OrderMarking& mark = {});

}  // namespace krv::server::transfer
