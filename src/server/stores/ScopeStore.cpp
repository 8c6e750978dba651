#include "server/stores/ScopeStore.h"

#include "server/storage/SqlBuilder.h"

namespace krv::server {

std::set<std::string> ScopeStore::branchesOf(const char* select, const std::vector<int64_t>& numbers) {
    std::set<std::string> branches;
    db::inChunks(numbers, [&](const std::vector<int64_t>& chunk) {
        db::Sql sql;
        sql(select).in(chunk);
        c_.each(sql.text(), sql.params(), [&](const db::ResultRow& row) { branches.insert(row.text(0)); });
    });
    return branches;
}

std::set<std::string> ScopeStore::branchesOfRequisitions(const std::vector<int64_t>& numbers) {
    return branchesOf("SELECT DISTINCT cdfilial FROM requisition WHERE nrrequipedido IN ", numbers);
}

std::set<std::string> ScopeStore::branchesOfRequisitionList(int64_t list) {
    std::set<std::string> branches;
    c_.each(
        "SELECT DISTINCT r.cdfilial FROM requisition_list_item l "
        "JOIN requisition r ON r.nrrequipedido = l.nrrequipedido WHERE l.nrlista = ?",
        {list}, [&](const db::ResultRow& row) { branches.insert(row.text(0)); });
    return branches;
}

std::set<std::string> ScopeStore::branchesOfOrders(const std::vector<int64_t>& numbers) {
    return branchesOf("SELECT DISTINCT cdfilial FROM purchase_order WHERE nrpedexol IN ", numbers);
}

}  // namespace krv::server
