#pragma once
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "core/DateTime.h"
#include "server/stores/StockStore.h"

namespace krv::server {

// Quantities in millionths, the stored precision: whole numbers add up exactly, so what the
// ledger says was used, bought and left over is what the explanation adds up to.
using Micros = int64_t;
Micros toMicros(double quantity);
double fromMicros(Micros quantity);

// Where a quantity the kitchen holds came from.
enum class StockOrigin : char {
    Count = 'C',         // counted on its day
    Receipt = 'R',       // received with an order
    PendingOrder = 'P',  // ordered for its day and not received yet
    Surplus = 'S',       // the rest of a package bought by the netting itself
    Expired = 'V',       // (uses only) a quantity that passed its shelf life unused
};

// A part of a lot: what a need took from it, or what of it passed its shelf life.
struct StockUse {
    StockOrigin origin;
    DateTime arrival;   // the day the lot could first be used
    int64_t order = 0;  // the order it came with, when it came with one
    Micros quantity = 0;
};

// One kitchen's stock of one product: lots used first in, first out, each until its shelf
// life ends (its arrival day plus the shelf life, both included: 0 is the arrival day only).
class StockLedger {
public:
    explicit StockLedger(int shelfLifeDays) : shelfLife_(shelfLifeDays) {}

    // At the start of `day`: the lots whose last day is before it leave, returned with what
    // was left of them.
    std::vector<StockUse> expireBefore(DateTime day);
    // A count says what there is at the start of its day, whatever the ledger thought.
    void count(DateTime day, Micros quantity);
    void arrive(const StockUse& lot);
    // Takes up to `quantity`, oldest lot first; returns the parts taken.
    std::vector<StockUse> take(Micros quantity);
    Micros available() const;

private:
    int shelfLife_;
    std::deque<StockUse> lots_;  // in arrival order
};

// What the ledger replays for one kitchen and product.
struct StockEvent {
    enum class Kind { Count, Arrival, Consumption, Line };
    Kind kind;
    DateTime day;
    std::string slot;  // service and shift: the order of consumption within a day
    Micros quantity = 0;
    StockOrigin origin = StockOrigin::Count;  // arrivals
    int64_t order = 0;                        // arrivals
    size_t line = 0;                          // lines: the caller's index
};

// A row the stores read, as the ledger replays it.
StockEvent eventOf(const StockRow& row);

// A need netted: met from stock first, the rest bought in whole packages.
struct NettedLine {
    Micros need = 0;
    Micros fromStock = 0;
    Micros bought = 0;
    std::vector<StockUse> used;     // the lots the need was met from
    std::vector<StockUse> expired;  // what passed its shelf life since the line before
};

// Replays the events day by day (a day's count, then its arrivals, then its consumption in
// slot order) and nets each line: what the ledger holds meets it first, the rest is bought in
// packages of `package` (0: exactly the rest), and what those leave over is held for the next
// days. Consumption that is not a line takes what there is and buys nothing. Returns one
// NettedLine per index 0 … lines - 1.
std::vector<NettedLine> netLines(std::vector<StockEvent> events, int shelfLifeDays, Micros package, size_t lines);

// What the ledger holds at the start of `day`: everything before it replayed, then that
// day's count and arrivals, none of its consumption.
Micros availableAt(std::vector<StockEvent> events, int shelfLifeDays, DateTime day);

}  // namespace krv::server
