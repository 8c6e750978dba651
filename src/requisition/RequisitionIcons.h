#pragma once
#include <QIcon>

// The requisition screen's own tool-button pictures, drawn in the style of the host's
// report buttons (48 px, flat colours).
namespace krv::requisition {
QIcon CalcReqIcon();       // calculator: calculate the requisitions
QIcon GerarPedidoIcon();   // sheet with an arrow: generate orders
QIcon CalcPrevConsIcon();  // bars with a trend: consumption forecast
QIcon VerPrevisaoIcon();   // a grid under a magnifier: look at the forecast
}  // namespace krv::requisition
