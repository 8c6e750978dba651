#pragma once
#include <cstdint>
#include <string>

namespace krv {

// Numbers as users here read them: a decimal comma and dots between thousands.

// A count: "2.604".
std::string countText(int64_t n);

// "2.604 pedidos", or "1 pedido".
std::string countedText(int64_t n, const char* one, const char* many);

// Quantities are stored with kQuantityDecimals decimals; this is how many the report and the
// windows show at least ("1.044,960"). A quantity with more shows them, up to the stored
// ones ("0,0125"), so a window never hides a digit that the database, the explanation and
// the exported files hold.
constexpr int kQuantityDecimals = 6;
constexpr int kShownDecimals = 3;
std::string quantityText(double value);

// The stored form of a quantity: the nearest of kQuantityDecimals decimals (halves away
// from zero). The SQL that stores quantities rounds the same way, in the same operations.
double roundedQuantity(double value);

}  // namespace krv
