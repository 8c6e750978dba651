#pragma once
// Counts in the order screens' texts, with thousands separators as every counter shows them.
#include <QString>
#include <cstdint>

#include "core/NumberText.h"

namespace krv::ordergen {

// "1 pedido", "5.284 pedidos".
inline QString Contagem(int64_t count, const char* one, const char* many) {
    return QString::fromStdString(countText(count)) + " " + QString::fromUtf8(count == 1 ? one : many);
}

}  // namespace krv::ordergen
