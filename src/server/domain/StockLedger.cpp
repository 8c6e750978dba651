#include "server/domain/StockLedger.h"

#include <algorithm>
#include <cmath>

#include "core/NumberText.h"

namespace krv::server {

Micros toMicros(double quantity) { return std::llround(roundedQuantity(quantity) * 1e6); }
double fromMicros(Micros quantity) { return double(quantity) / 1e6; }

std::vector<StockUse> StockLedger::expireBefore(DateTime day) {
    std::vector<StockUse> expired;
    std::erase_if(lots_, [&](const StockUse& lot) {
        if (lot.arrival.addDays(shelfLife_) >= day) return false;
        if (lot.quantity > 0) expired.push_back({lot.origin, lot.arrival, lot.order, lot.quantity});
        return true;
    });
    return expired;
}

void StockLedger::count(DateTime day, Micros quantity) {
    lots_.clear();
    if (quantity > 0) lots_.push_back({StockOrigin::Count, day, 0, quantity});
}

void StockLedger::arrive(const StockUse& lot) {
    if (lot.quantity <= 0) return;
    // Lots arrive in day order but a count may sit behind the day's arrivals: keep the order.
    const auto at = std::upper_bound(lots_.begin(), lots_.end(), lot.arrival,
                                     [](DateTime day, const StockUse& l) { return day < l.arrival; });
    lots_.insert(at, lot);
}

std::vector<StockUse> StockLedger::take(Micros quantity) {
    std::vector<StockUse> parts;
    while (quantity > 0 && !lots_.empty()) {
        StockUse& lot = lots_.front();
        const Micros part = std::min(quantity, lot.quantity);
        parts.push_back({lot.origin, lot.arrival, lot.order, part});
        lot.quantity -= part;
        quantity -= part;
        if (lot.quantity == 0) lots_.pop_front();
    }
    return parts;
}

Micros StockLedger::available() const {
    Micros sum = 0;
    for (const StockUse& lot : lots_) sum += lot.quantity;
    return sum;
}

StockEvent eventOf(const StockRow& row) {
    StockEvent event{StockEvent::Kind::Consumption, row.day, row.slot, toMicros(row.quantity)};
    switch (row.kind) {
        case StockRow::Kind::Count:
            event.kind = StockEvent::Kind::Count;
            break;
        case StockRow::Kind::Receipt:
        case StockRow::Kind::PendingOrder:
            event.kind = StockEvent::Kind::Arrival;
            event.origin = row.kind == StockRow::Kind::Receipt ? StockOrigin::Receipt : StockOrigin::PendingOrder;
            event.order = row.order;
            break;
        case StockRow::Kind::Consumption:
            break;
    }
    return event;
}

namespace {

// Within a day: the count first (it is taken at the start), then what arrives, then what is
// consumed, service by service and shift by shift (lines and other consumption alike).
int rank(StockEvent::Kind kind) { return std::min(int(kind), int(StockEvent::Kind::Consumption)); }

void sortEvents(std::vector<StockEvent>& events) {
    std::stable_sort(events.begin(), events.end(), [](const StockEvent& a, const StockEvent& b) {
        if (a.day != b.day) return a.day < b.day;
        if (rank(a.kind) != rank(b.kind)) return rank(a.kind) < rank(b.kind);
        return a.slot < b.slot;
    });
}

// A package size below a millionth has no whole number of millionths: the rest is bought as it is.
Micros wholePackages(Micros quantity, Micros package) {
    if (package <= 0) return quantity;
    return (quantity + package - 1) / package * package;
}

// Counts and arrivals.
void apply(StockLedger& ledger, const StockEvent& event) {
    if (event.kind == StockEvent::Kind::Count)
        ledger.count(event.day, event.quantity);
    else
        ledger.arrive({event.origin, event.day, event.order, event.quantity});
}

}  // namespace

std::vector<NettedLine> netLines(std::vector<StockEvent> events, int shelfLifeDays, Micros package, size_t lines) {
    sortEvents(events);
    StockLedger ledger(shelfLifeDays);
    std::vector<NettedLine> netted(lines);
    std::vector<StockUse> expired;
    for (const StockEvent& event : events) {
        for (StockUse& gone : ledger.expireBefore(event.day)) expired.push_back(gone);
        switch (event.kind) {
            case StockEvent::Kind::Count:
            case StockEvent::Kind::Arrival:
                apply(ledger, event);
                break;
            case StockEvent::Kind::Consumption:
                ledger.take(event.quantity);
                break;
            case StockEvent::Kind::Line: {
                NettedLine& line = netted.at(event.line);
                line.need = event.quantity;
                line.used = ledger.take(event.quantity);
                for (const StockUse& part : line.used) line.fromStock += part.quantity;
                const Micros rest = line.need - line.fromStock;
                line.bought = rest > 0 ? wholePackages(rest, package) : 0;
                ledger.arrive({StockOrigin::Surplus, event.day, 0, line.bought - rest > 0 ? line.bought - rest : 0});
                line.expired = std::move(expired);
                expired.clear();
                break;
            }
        }
    }
    return netted;
}

Micros availableAt(std::vector<StockEvent> events, int shelfLifeDays, DateTime day) {
    sortEvents(events);
    StockLedger ledger(shelfLifeDays);
    for (const StockEvent& event : events) {
        if (event.day > day) break;
        const bool consumed = event.kind == StockEvent::Kind::Consumption || event.kind == StockEvent::Kind::Line;
        if (event.day == day && consumed) break;
        ledger.expireBefore(event.day);
        if (consumed)
            ledger.take(event.quantity);
        else
            apply(ledger, event);
    }
    ledger.expireBefore(day);
    return ledger.available();
}

}  // namespace krv::server
