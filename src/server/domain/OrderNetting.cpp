#include "server/domain/OrderNetting.h"

#include <algorithm>
#include <map>
#include <set>

#include "server/domain/StockLedger.h"
#include "server/stores/StockStore.h"

namespace krv::server {

namespace {

using Pair = std::pair<std::string, std::string>;  // kitchen, product

struct PairEvents {
    std::vector<StockEvent> events;
    std::vector<size_t> lines;  // indexes into the needs
};

}  // namespace

NettedOrders netOrders(db::Connection& connection, const OrderRequest& request) {
    OrderStore orders(connection);
    StockStore stock(connection);
    NettedOrders out;
    OrderStore::Ordered ordered = orders.ordered(request);
    out.groups = std::move(ordered.groups);
    out.roundedRequisitions = ordered.roundedRequisitions;
    const std::vector<OrderStore::Need>& needs = ordered.needs;

    std::map<int64_t, const OrderStore::Group*> bySequence;
    for (const OrderStore::Group& group : out.groups) bySequence[group.sequence] = &group;
    std::map<Pair, PairEvents> pairs;
    std::map<std::string, StockProduct> products;
    std::set<std::string> kitchens;
    for (size_t i = 0; i < needs.size(); ++i) {
        const OrderStore::Group& group = *bySequence.at(needs[i].sequence);
        PairEvents& pair = pairs[{group.branch, needs[i].product}];
        pair.events.push_back({StockEvent::Kind::Line, group.day, group.service + group.shift.value_or(""),
                               toMicros(needs[i].quantity), StockOrigin::Count, 0, pair.lines.size()});
        pair.lines.push_back(i);
        kitchens.insert(group.branch);
        if (!products.count(needs[i].product)) products[needs[i].product] = stock.product(needs[i].product);
    }
    if (pairs.empty()) return out;

    // Nothing older than a product's shelf life before the period can reach it, so the ledger
    // starts there (or at a count after it) and reads no further back.
    int longest = 0;
    for (const auto& [code, product] : products) longest = std::max(longest, product.shelfLife);
    const DateTime start = request.period.start, end = request.period.end;
    const StockStore::Ordering ordering{request.list, request.period};
    std::set<std::string> earlyProducts;
    DateTime earliest = start;
    const auto take = [&](const StockRow& row) {
        const auto at = pairs.find({row.kitchen, row.product});
        if (at == pairs.end()) return;
        if (row.day < start.addDays(-products[row.product].shelfLife)) return;
        at->second.events.push_back(eventOf(row));
        if (row.kind != StockRow::Kind::Consumption && row.day < start) {
            earlyProducts.insert(row.product);
            earliest = std::min(earliest, row.day);
        }
    };
    stock.ledgerRows(kitchens, start.addDays(-longest), start, end, take, ordering);
    // The days before the period matter only where something arrived then.
    if (earliest < start) stock.consumptionRows(kitchens, earlyProducts, earliest, start.addDays(-1), take, ordering);

    for (auto& [key, pair] : pairs) {
        const StockProduct& product = products[key.second];
        const std::vector<NettedLine> netted =
            netLines(std::move(pair.events), product.shelfLife, toMicros(product.package), pair.lines.size());
        for (size_t local = 0; local < pair.lines.size(); ++local) {
            const size_t i = pair.lines[local];
            const NettedLine& line = netted[local];
            if (line.bought == 0) continue;
            OrderStore::Line bought{needs[i].sequence,       key.second,
                                    fromMicros(line.need),   fromMicros(line.fromStock),
                                    fromMicros(line.bought), {}};
            for (const StockUse& use : line.used)
                bought.sources.push_back({char(use.origin), use.arrival, use.order, fromMicros(use.quantity)});
            for (const StockUse& gone : line.expired)
                bought.sources.push_back({char(StockOrigin::Expired), gone.arrival.addDays(product.shelfLife + 1),
                                          gone.order, fromMicros(gone.quantity)});
            out.lines.push_back(std::move(bought));
        }
    }
    std::sort(out.lines.begin(), out.lines.end(), [](const OrderStore::Line& a, const OrderStore::Line& b) {
        return std::tie(a.order, a.product) < std::tie(b.order, b.product);
    });
    return out;
}

std::vector<std::pair<int64_t, const OrderStore::Group*>> numberBuyingOrders(NettedOrders& netted, int64_t after) {
    std::map<int64_t, int64_t> numbers;  // sequence → number
    for (const OrderStore::Line& line : netted.lines) numbers[line.order];
    std::vector<std::pair<int64_t, const OrderStore::Group*>> made;
    for (const OrderStore::Group& group : netted.groups) {
        const auto at = numbers.find(group.sequence);
        if (at == numbers.end()) continue;
        at->second = after + int64_t(made.size()) + 1;
        made.emplace_back(at->second, &group);
    }
    for (OrderStore::Line& line : netted.lines) line.order = numbers.at(line.order);
    return made;
}

}  // namespace krv::server
