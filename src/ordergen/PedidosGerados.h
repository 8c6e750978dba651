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

// Opens "Pedidos Gerados" over `parent` (the requisition screen) on a kitchen, a logistic
// operator or "T" and a period, listing at once. After a generation from that screen's same
// branch and period, it lists the branches of the orders made and selects them.
void AbrePedidosGerados(host::TNetConnection& net, const QString& filial, DateTime inicio, DateTime fim,
                        QWidget* parent);

// Kept by the requisition screen `tela`, for as long as it lives: the branch and period a
// generation was made from, the branch (or "T") its orders are listed under, their numbers.
void LembraGeracao(QWidget* tela, const QString& filial, DateTime inicio, DateTime fim, const QString& filialPedidos,
                   int64_t primeiro, int64_t ultimo);

}  // namespace krv::ordergen
