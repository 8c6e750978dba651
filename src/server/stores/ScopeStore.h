#pragma once
#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "server/storage/Database.h"

namespace krv::server {

// The branches that rows named by number belong to, for the check that a caller answers for
// them all. Numbers that name nothing add nothing: the method says so in its own words.
class ScopeStore {
public:
    explicit ScopeStore(db::Connection& connection) : c_(connection) {}

    std::set<std::string> branchesOfRequisitions(const std::vector<int64_t>& numbers);
    // Of the requisitions a requisition list holds.
    std::set<std::string> branchesOfRequisitionList(int64_t list);
    // Of the orders: the kitchen each was made for.
    std::set<std::string> branchesOfOrders(const std::vector<int64_t>& numbers);

private:
    std::set<std::string> branchesOf(const char* select, const std::vector<int64_t>& numbers);
    db::Connection& c_;
};

}  // namespace krv::server
