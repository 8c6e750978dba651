#pragma once
// The orders window for screens that do not see its form (the requisition screen).
#include <QString>
#include <cstdint>

#include "core/DateTime.h"

class QWidget;

namespace krv::host {
class TNetConnection;
}

namespace krv::ordergen {

// Opens "Pedidos Gerados" over `parent` on a kitchen, a logistic operator or "T" and a period,
// listing at once; the orders `primeiro` to `ultimo` selected when not 0.
void AbrePedidosGerados(host::TNetConnection& net, const QString& filial, DateTime inicio, DateTime fim,
                        QWidget* parent, int64_t primeiro = 0, int64_t ultimo = 0);

}  // namespace krv::ordergen
