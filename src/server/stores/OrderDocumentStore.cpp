#include "server/stores/OrderDocumentStore.h"

#include <cmath>
#include <cstdio>
#include <map>
#include <utility>

#include "server/storage/SqlBuilder.h"
#include "server/stores/ReportStore.h"

namespace krv::server {

namespace {

using db::Sql;

const char* const kWeekdays[] = {"Domingo", "Segunda", "Terça", "Quarta", "Quinta", "Sexta", "Sábado"};

// The orders of the filter, as the condition after a WHERE on purchase_order "o".
void orderCondition(Sql& sql, const OrderDocumentFilter& f) {
    sql("o.dtpedido BETWEEN ? AND ? AND NOT EXISTS (SELECT 1 FROM purchase_order_cancellation x"
        " WHERE x.nrpedexol = o.nrpedexol)",
        {f.period.start, f.period.end});
    viewerCondition(sql, f.viewer);
    if (f.kitchen) sql(" AND o.cdfilial = ?", {*f.kitchen});
    if (f.logisticOperator) sql(" AND o.cdfiliopelog = ?", {*f.logisticOperator});
    if (f.orders) sql(" AND o.nrpedexol IN ").in(*f.orders);
}

// "1.234,500": how the page shows a quantity outside a column.
std::string brazilian(double value, int decimals) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    std::string digits(text);
    const size_t point = digits.find('.');
    std::string whole = digits.substr(0, point), out;
    const bool negative = !whole.empty() && whole[0] == '-';
    if (negative) whole.erase(0, 1);
    for (size_t i = 0; i < whole.size(); ++i) {
        if (i && (whole.size() - i) % 3 == 0) out += '.';
        out += whole[i];
    }
    if (point != std::string::npos) out += "," + digits.substr(point + 1);
    return (negative ? "-" : "") + out;
}

void maskCodes(DataPacket& packet, int column, const std::string& picture) {
    for (Row& row : packet.rows) row[size_t(column)] = Variant(applyPicture(row[size_t(column)].asString(), picture));
}

}  // namespace

DataPacket OrderDocumentStore::orderLines(const OrderDocumentFilter& filter) {
    Sql sql;
    sql(std::string("SELECT ") + kOrderHeadColumns +
        ", i.cdproduto, p.nmproduto, p.sgunidade, coalesce(i.qtnecessaria, i.qtpedido), i.qtsaldo, i.qtpedido, " +
        packagesSql("i.qtpedido", "p.qtembalagem") +
        " FROM purchase_order o JOIN purchase_order_item i ON i.nrpedexol = o.nrpedexol"
        " JOIN product p ON p.cdproduto = i.cdproduto" +
        kOrderHeadJoins + " WHERE ");
    orderCondition(sql, filter);
    sql(" ORDER BY o.nrpedexol, i.cdproduto");
    std::vector<FieldDef> fields = orderHeadFields();
    fields.insert(fields.end(), {{"CDPRODUTO", FieldType::String, 20},
                                 {"NMPRODUTO", FieldType::String, 60},
                                 {"SGUNIDADE", FieldType::String, 4},
                                 {"QTNECESSARIA", FieldType::Float, 0},
                                 {"QTSALDO", FieldType::Float, 0},
                                 {"QTPEDIDO", FieldType::Float, 0},
                                 {"QTEMBALAGENS", FieldType::Integer, 0}});
    DataPacket packet = c_.packet(sql.text(), sql.params(), fields);
    // The generation's time to the minute, as a person reads it on paper.
    packet.fields[11] = {"DTLANCAMENTO", FieldType::String, 16};
    for (Row& row : packet.rows) {
        const DateTime at = row[11].asDateTime();
        char time[16];
        std::snprintf(time, sizeof time, " %02d:%02d", at.secondOfDay() / 3600, at.secondOfDay() / 60 % 60);
        row[11] = Variant(at.toBr() + time);
        if (row[8].isNull()) row[8] = Variant("todos");  // an order of every shift of its service
    }
    maskCodes(packet, 12, ReportStore(c_).productPicture());
    return packet;
}

DataPacket OrderDocumentStore::pickLines(const OrderDocumentFilter& filter) {
    Sql sql;
    sql("SELECT o.dtpedido, '', i.cdproduto, p.nmproduto, p.sgunidade, p.qtembalagem, '', '', o.cdfilial,"
        " b.nmfilial, o.nrpedexol, o.cdservfili, coalesce(o.cdturno, ''), i.qtpedido, " +
        packagesSql("i.qtpedido", "p.qtembalagem") +
        " FROM purchase_order o JOIN purchase_order_item i ON i.nrpedexol = o.nrpedexol"
        " JOIN product p ON p.cdproduto = i.cdproduto JOIN branch b ON b.cdfilial = o.cdfilial WHERE ");
    orderCondition(sql, filter);
    sql(" ORDER BY o.dtpedido, i.cdproduto, o.cdfilial, o.nrpedexol");
    DataPacket packet = c_.packet(sql.text(), sql.params(),
                                  {{"DTPEDIDO", FieldType::DateTime, 0},
                                   {"NMDIASEMANA", FieldType::String, 7},
                                   {"CDPRODUTO", FieldType::String, 20},
                                   {"NMPRODUTO", FieldType::String, 60},
                                   {"SGUNIDADE", FieldType::String, 4},
                                   {"QTEMBALAGEM", FieldType::Float, 0},
                                   {"DSSEPARAR", FieldType::String, 20},
                                   {"DSEMBALAGENS", FieldType::String, 20},
                                   {"CDFILIAL", FieldType::String, 4},
                                   {"NMFILIAL", FieldType::String, 30},
                                   {"NRPEDEXOL", FieldType::Integer, 0},
                                   {"CDSERVFILI", FieldType::String, 5},
                                   {"CDTURNO", FieldType::String, 1},
                                   {"QTPEDIDO", FieldType::Float, 0},
                                   {"QTEMBALAGENS", FieldType::Integer, 0}});
    // The total of each product's day, summed here in the rows' own order, so that the page
    // adds exactly what its sub-lines show.
    std::map<std::pair<int64_t, std::string>, double> totals;
    for (const Row& row : packet.rows) totals[{row[0].asDateTime().seconds, row[2].asString()}] += row[13].asDouble();
    for (Row& row : packet.rows) {
        const double total = totals[{row[0].asDateTime().seconds, row[2].asString()}];
        const double size = row[5].asDouble();
        row[1] = Variant(kWeekdays[row[0].asDateTime().dayOfWeek()]);
        row[6] = Variant(brazilian(total, 3));
        row[7] = Variant(brazilian(std::ceil(total / size - 0.000001), 0));
    }
    maskCodes(packet, 2, ReportStore(c_).productPicture());
    return packet;
}

}  // namespace krv::server
