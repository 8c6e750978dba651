#pragma once
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/DateTime.h"
#include "core/Variant.h"
#include "server/storage/Database.h"

namespace krv::server {

// The order numbers of a key list "_1_2_", each once, in the order given. Refuses a value
// that is no such list, an empty one, and names the first number that is not one.
std::vector<int64_t> requireOrderNumbers(const Variant& value);

struct CancellationRequest {
    std::vector<int64_t> orders;
    std::string operatorCode;           // the session's operator: only the orders it generated are found
    std::optional<std::string> branch;  // when named, every order must be of it
    DateTime now;
};

struct CancelledOrders {
    int64_t orders = 0;
    int64_t requisitions = 0;  // freed, to be ordered or recalculated again
};

// Marks the orders cancelled (kept, with who and when) and frees their requisitions, in one
// transaction: a requisition never points at a cancelled order, and an active order always
// keeps its requisitions. Refuses by number, changing nothing, an order that does not
// exist, is cancelled already, was sent to its logistic operator or is not of the named
// branch. `midway`, when given, runs between the two writes: a failure there must leave
// nothing behind.
CancelledOrders cancelOrders(db::Connection& connection, const CancellationRequest& request,
                             const std::function<void()>& midway = {});

}  // namespace krv::server
