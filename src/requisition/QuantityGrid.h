#pragma once
#include <QString>
#include <vector>

#include "core/DataPacket.h"

class QTableWidget;

namespace krv::requisition {

// A small window's grid over a server packet with one quantity the user types per row (a
// count, a received quantity): the other columns read only, the typed one taking what a
// number edit takes (digits, one ',' or '.' and at most the stored decimals; no sign). Meant
// for a kitchen's products or an order's lines, a few hundred rows, not for long lists.
class QuantityGrid {
public:
    enum class Kind { Text, Product, Quantity, Date, Integer };
    struct Column {
        const char* field;
        QString title;
        Kind kind = Kind::Text;
    };

    // The columns shown, then the typed one titled `typedTitle`.
    QuantityGrid(QTableWidget& table, std::vector<Column> columns, const QString& typedTitle);

    // Shows the rows of `packet`; the typed column starts with `startField`'s quantity, or
    // empty when it is null or `startField` is null.
    void Fill(DataPacket packet, const char* startField);
    const DataPacket& Packet() const { return packet_; }
    int TypedColumn() const { return int(columns_.size()); }

    struct Typed {
        size_t row;  // of Packet()
        double quantity;
    };
    // The rows whose typed text differs from what they started with. A text that is not a
    // quantity, or one left empty that started with a value, gets the cell and ends the
    // action with an error naming the row's `nameField`.
    std::vector<Typed> Changed(const char* nameField) const;

private:
    QTableWidget& table_;
    std::vector<Column> columns_;
    DataPacket packet_;
};

}  // namespace krv::requisition
