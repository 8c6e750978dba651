#pragma once
#include <cstdint>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "core/DataPacket.h"
#include "core/DateTime.h"
#include "server/model/Requests.h"
#include "server/storage/Database.h"

namespace krv::server {

// One row of what a kitchen's ledger of a product is made of, as the stores read it.
struct StockRow {
    enum class Kind { Count, Receipt, PendingOrder, Consumption };
    Kind kind;
    std::string kitchen;
    std::string product;
    DateTime day;
    std::string slot;  // consumption: service and shift
    double quantity = 0;
    int64_t order = 0;  // receipts and pending orders
};

// Where part of an order line's need came from, as the line keeps it: the ledger's origin
// letter (count, receipt, order on its way, surplus, expired), the lot's day and order.
struct StockSource {
    char origin;
    DateTime day;
    int64_t order;  // 0: none
    double quantity;
};

// A product's figures the ledger needs.
struct StockProduct {
    double package = 0;
    int shelfLife = 0;
};

// The SQL of what kitchens hold: counts, receipts, orders on their way, what requisitions
// consume; every write inside the caller's transaction.
class StockStore {
public:
    explicit StockStore(db::Connection& connection) : c_(connection) {}

    // The requisitions a generation orders (open, of its list and period): their consumption
    // is what the generation nets, so the ledger leaves it out.
    struct Ordering {
        int64_t list;
        Period period;
    };
    // Counts, receipts and open orders of these kitchens dated `from` to `to`, and the
    // consumption of their requisitions from `consumedFrom` to `to`, each given to `row`.
    void ledgerRows(const std::set<std::string>& kitchens, DateTime from, DateTime consumedFrom, DateTime to,
                    const std::function<void(const StockRow&)>& row, const std::optional<Ordering>& ordering = {});
    // Only the consumption of these products, from `from` to `to`.
    void consumptionRows(const std::set<std::string>& kitchens, const std::set<std::string>& products, DateTime from,
                         DateTime to, const std::function<void(const StockRow&)>& row,
                         const std::optional<Ordering>& ordering = {});

    StockProduct product(const std::string& code);
    std::optional<StockProduct> productIfAny(const std::string& code);

    // The products a kitchen deals in: those of its requisitions, orders and counts, with
    // name, unit and shelf life, and its last count on or before `day`.
    struct KitchenProduct {
        std::string code, name, unit;
        int shelfLife = 0;
        double package = 0;
        std::optional<DateTime> countedOn;
        std::optional<double> counted;
    };
    std::vector<KitchenProduct> kitchenProducts(const std::string& kitchen, DateTime day);

    struct Count {
        std::string product;
        DateTime day;
        double quantity;
    };
    // Each count replaces the one of its product and day.
    void saveCounts(const std::string& kitchen, const std::vector<Count>& counts, const std::string& operatorCode,
                    DateTime now);

private:
    db::Connection& c_;
};

}  // namespace krv::server
