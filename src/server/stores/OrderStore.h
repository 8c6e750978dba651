#pragma once
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

#include "core/DataPacket.h"
#include "server/model/Requests.h"
#include "server/storage/Database.h"
#include "server/stores/StockStore.h"

namespace krv::server {

// Common table expressions, after which "numbered" holds the open listed requisitions of
// the request's period, each with the key of its order (cdfiliopelog, dtpedido, cdfilial,
// cdservfili, cdturno) and the number its order gets, `after` + its group's rank; bound by
// numberedOrdersParams(). The generation and its preview both start from here, so that they
// group alike.
std::string numberedOrders(bool perShift);
db::Params numberedOrdersParams(const OrderRequest& request, int64_t after);
// "qtnecessaria, qtpedido" of an order line, over requisition items `i` grouped with their
// product `p`: the summed need, and what is ordered of it.
std::string orderLineQuantities(bool roundToPackage);

// The SQL of order generation: the requisitions the order screen lists, the lists of
// requisitions chosen for ordering, and the orders themselves.
class OrderStore {
public:
    explicit OrderStore(db::Connection& connection) : c_(connection) {}

    struct Filter {
        std::optional<std::set<std::string>> branches;  // nullopt: every branch
        Period period;
        // A shift list whose (CDSERVFILI, CDTURNO) are taken in any branch; nullopt: every shift
        std::optional<int64_t> shiftList;
        std::optional<std::set<GroupingKey>> groupings;  // nullopt: every grouping
        // Reads at most one row more than this, enough to tell that there are more; 0: all.
        size_t atMost = 0;
    };
    // The order screen's list (requisitionListFields()), every row unmarked, sorted by
    // branch, day, service, shift and grouping.
    DataPacket requisitions(const Filter& filter);

    // Branch and day of each of these requisitions that exists. Hashed, not ordered: a list
    // of every branch's month holds hundreds of thousands of requisitions, and a tree of
    // that size costs a cache miss per level of every insert and lookup.
    std::unordered_map<int64_t, std::pair<std::string, DateTime>> branchAndDay(const std::vector<int64_t>& numbers);

    // Stores a requisition list, renewing `renewed` when it is one, and returns its number.
    int64_t storeList(const std::vector<ListedRequisition>& rows, const std::string& owner,
                      std::optional<int64_t> renewed, DateTime now);

    // The kitchens of the requisitions of a list: what a generation from it claims.
    std::vector<std::string> kitchensOfList(int64_t list);

    bool isServiceOf(const std::string& branch, const std::string& service);

    // The steps of generateOrders(), each inside the caller's transaction.
    // Takes the counter row, so that any other generation waits for this one, and returns
    // the highest order number in use.
    int64_t claimOrderNumbers();
    // One order per group, numbered from `after` + 1 in group order; returns how many.
    int64_t insertOrders(const OrderRequest& request, int64_t after);
    // Points every requisition of those orders at its order; returns how many.
    int64_t markRequisitions(const OrderRequest& request, int64_t after);
    // Items of the orders above `after`, and the counter moved past them.
    void insertItemsAndCount(int64_t after, int64_t orders, bool roundToPackage);

    // The generation netted of stock reads what numberedOrders() groups and writes what the
    // ledger left to buy.
    struct Group {
        int64_t sequence = 0;  // 1 for the first order, in the order they are numbered
        std::string supplier, branch, service;
        std::optional<std::string> shift;
        DateTime day;
        std::vector<int64_t> requisitions;
    };
    struct Need {
        int64_t sequence = 0;
        std::string product;
        double quantity = 0;
    };
    // The groups, by sequence; what each needs of each product, by group and product; and how
    // many of their requisitions hold quantities a calculation already rounded up to packages.
    struct Ordered {
        std::vector<Group> groups;
        std::vector<Need> needs;
        int64_t roundedRequisitions = 0;
    };
    Ordered ordered(const OrderRequest& request);
    struct Line {
        int64_t order = 0;
        std::string product;
        double need = 0, fromStock = 0, bought = 0;
        std::vector<StockSource> sources;
    };
    // Orders numbered by the caller, their requisitions pointed at them, their lines and
    // where the lines' stock came from, and the counter moved to `last`.
    void insertNetted(const OrderRequest& request, const std::vector<std::pair<int64_t, const Group*>>& orders,
                      const std::vector<Line>& lines, int64_t last);

private:
    db::Connection& c_;
};

}  // namespace krv::server
