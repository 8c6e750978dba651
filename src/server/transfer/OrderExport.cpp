#include "server/transfer/OrderExport.h"

#include <cstdio>

#include "server/stores/OrderReadStore.h"
#include "server/transfer/Cells.h"
#include "server/transfer/Export.h"

namespace krv::server::transfer {

namespace {

// A value of a packet cell as the export writes it.
Value valueOf(const Variant& cell) {
    switch (cell.type()) {
        case Variant::Type::Null:
            return std::monostate{};
        case Variant::Type::Int:
            return cell.asInt();
        case Variant::Type::Double:
            return cell.asDouble();
        case Variant::Type::DateTime: {
            const DateTime at = cell.asDateTime();
            if (at.secondOfDay() == 0) return at;
            char time[16];
            std::snprintf(time, sizeof time, " %02d:%02d:%02d", at.secondOfDay() / 3600, at.secondOfDay() / 60 % 60,
                          at.secondOfDay() % 60);
            return at.toBr() + time;
        }
        default:
            return cell.asString();
    }
}

std::vector<std::string> cellsOf(const Row& row, const std::vector<int>& columns, const std::string& lead = "") {
    std::vector<std::string> cells;
    if (!lead.empty()) cells.push_back(lead);
    for (const int column : columns) cells.push_back(writeCell(valueOf(row[size_t(column)])));
    return cells;
}

// The packet's fields to write, by name, and the header line they make (lower case, as
// every exported file's).
std::vector<int> columnsOf(const DataPacket& packet, const std::vector<std::string>& names,
                           std::vector<std::string>& header) {
    std::vector<int> columns;
    for (const std::string& name : names) {
        columns.push_back(packet.fieldIndex(name));
        std::string lower = name;
        for (char& c : lower) c = char(std::tolower(static_cast<unsigned char>(c)));
        header.push_back(lower);
    }
    return columns;
}

}  // namespace

ExportedOrders exportOrders(db::Connection& connection, const std::filesystem::path& folder,
                            const OrderExportFilter& filter, const OrderMarking& mark) {
    std::filesystem::create_directories(folder);
    OrderReadStore store(connection);
    OrderFilter orders{OrderViewer{}, std::nullopt, filter.logisticOperator, filter.period, std::nullopt};
    DataPacket list = store.orders(orders);
    const int number = list.fieldIndex("NRPEDEXOL"), situation = list.fieldIndex("IDSITUACAO");
    ExportedOrders written;
    if (mark) {
        std::vector<int64_t> active;
        for (const Row& row : list.rows)
            if (row[size_t(situation)].asString() == "A") active.push_back(row[size_t(number)].asInt());
        if (!active.empty()) {
            written.marked = mark(active);
            list = store.orders(orders);
        }
    }

    std::vector<std::string> orderHeader, lineHeader{"nrpedexol"};
    const std::vector<int> orderColumns =
        columnsOf(list,
                  {"NRPEDEXOL", "CDFILIOPELOG", "CDFILIAL", "CDSERVFILI", "CDTURNO", "DTPEDIDO", "CDOPERADOR",
                   "DTLANCAMENTO", "IDSITUACAO", "DTSITUACAO", "CDOPERSITUACAO", "QTLINHAS"},
                  orderHeader);
    std::vector<std::string> lineNames;
    for (const FieldDef& field : orderLineFields()) lineNames.push_back(field.name);
    const std::vector<int> lineColumns = columnsOf(DataPacket{orderLineFields(), {}}, lineNames, lineHeader);

    CsvFileWriter ordersFile(folder / "pedidos.csv"), linesFile(folder / "itens_pedido.csv");
    ordersFile.line(orderHeader);
    linesFile.line(lineHeader);
    for (const Row& row : list.rows) {
        if (row[size_t(situation)].asString() == "C") continue;
        const int64_t order = row[size_t(number)].asInt();
        ordersFile.line(cellsOf(row, orderColumns));
        ++written.orders;
        const DataPacket lines = store.lines(order);
        for (const Row& line : lines.rows) linesFile.line(cellsOf(line, lineColumns, std::to_string(order)));
        written.lines += lines.rows.size();
    }
    ordersFile.close();
    linesFile.close();
    return written;
}

}  // namespace krv::server::transfer
