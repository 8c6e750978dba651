#pragma once
// Every requisition of a benchmark's database in one requisition list, as the order screen
// would have listed and marked them.
#include <cstdint>
#include <optional>
#include <vector>

#include "BenchSession.h"
#include "server/model/Clock.h"
#include "server/domain/OrderGeneration.h"
#include "server/stores/OrderStore.h"
#include "server/storage/Database.h"

namespace krv::bench {

struct Listed {
    int64_t list = 0;
    int64_t requisitions = 0;
};

inline Listed listEveryRequisition(server::db::Connection& c) {
    std::vector<server::ListedRequisition> rows;
    c.each("SELECT nrrequipedido, cdfilial, dtrequipedido FROM requisition", {},
           [&](const server::db::ResultRow& row) { rows.push_back({row.integer(0), row.text(1), row.dateTime(2)}); });
    return {server::OrderStore(c).storeList(rows, kBenchCaller.operatorName, std::nullopt, server::localNow()), int64_t(rows.size())};
}

}  // namespace krv::bench
