#include "server/stores/OrderReadStore.h"

#include "server/storage/SqlBuilder.h"

namespace krv::server {

namespace {

using db::Sql;

// A received order may have been sent before: received is where it stands.
constexpr const char* kSituation =
    "CASE WHEN x.nrpedexol IS NOT NULL THEN 'C' WHEN rc.nrpedexol IS NOT NULL THEN 'R'"
    " WHEN e.nrpedexol IS NOT NULL THEN 'E' ELSE 'A' END";
constexpr const char* kStateJoins =
    " LEFT JOIN purchase_order_cancellation x ON x.nrpedexol = o.nrpedexol"
    " LEFT JOIN purchase_order_shipment e ON e.nrpedexol = o.nrpedexol"
    " LEFT JOIN purchase_order_receipt rc ON rc.nrpedexol = o.nrpedexol";

const char* situationCode(OrderSituation situation) {
    switch (situation) {
        case OrderSituation::Sent:
            return "E";
        case OrderSituation::Cancelled:
            return "C";
        case OrderSituation::Received:
            return "R";
        default:
            return "A";
    }
}

}  // namespace

void viewerCondition(Sql& sql, const OrderViewer& viewer) {
    if (viewer.generatedBy) sql(" AND o.cdoperador = ?", {*viewer.generatedBy});
    if (viewer.kitchens) {
        if (viewer.kitchens->empty())
            sql(" AND 1 = 0");
        else
            sql(" AND o.cdfilial IN ").in(*viewer.kitchens);
    }
}

const char* const kOrderHeadColumns =
    "o.nrpedexol, o.cdfiliopelog, ol.nmfilial, o.cdfilial, b.nmfilial, o.cdservfili, s.nmservico, o.cdturno,"
    " t.nmturno, o.dtpedido, o.cdoperador, o.dtlancamento";
const char* const kOrderHeadJoins =
    " JOIN branch ol ON ol.cdfilial = o.cdfiliopelog JOIN branch b ON b.cdfilial = o.cdfilial"
    " LEFT JOIN service s ON s.cdfilial = o.cdfilial AND s.cdservfili = o.cdservfili"
    " LEFT JOIN shift t ON t.cdfilial = o.cdfilial AND t.cdservfili = o.cdservfili AND t.cdturno = o.cdturno";

std::vector<FieldDef> orderHeadFields() {
    const std::vector<FieldDef>& all = orderFields();
    return {all.begin() + 1, all.begin() + 13};
}

const std::vector<FieldDef>& orderFields() {
    static const std::vector<FieldDef> fields{
        {"IDMARCADO", FieldType::String, 1},       {"NRPEDEXOL", FieldType::Integer, 0},
        {"CDFILIOPELOG", FieldType::String, 4},    {"NMFILIOPELOG", FieldType::String, 30},
        {"CDFILIAL", FieldType::String, 4},        {"NMFILIAL", FieldType::String, 30},
        {"CDSERVFILI", FieldType::String, 5},      {"NMSERVICO", FieldType::String, 40},
        {"CDTURNO", FieldType::String, 1},         {"NMTURNO", FieldType::String, 10},
        {"DTPEDIDO", FieldType::DateTime, 0},      {"CDOPERADOR", FieldType::String, 30},
        {"DTLANCAMENTO", FieldType::DateTime, 0},  {"IDSITUACAO", FieldType::Fixed, 1},
        {"DSSITUACAO", FieldType::String, 10},     {"DTSITUACAO", FieldType::DateTime, 0},
        {"CDOPERSITUACAO", FieldType::String, 30}, {"QTLINHAS", FieldType::Integer, 0}};
    return fields;
}

const std::vector<FieldDef>& orderLineFields() {
    static const std::vector<FieldDef> fields{
        {"CDPRODUTO", FieldType::String, 10},    {"NMPRODUTO", FieldType::String, 60},
        {"SGUNIDADE", FieldType::String, 4},     {"QTNECESSARIA", FieldType::Float, 0},
        {"QTPEDIDO", FieldType::Float, 0},       {"QTEMBALAGEM", FieldType::Float, 0},
        {"QTEMBALAGENS", FieldType::Integer, 0}, {"QTSOBRA", FieldType::Float, 0},
        {"QTSALDO", FieldType::Float, 0},        {"QTRECEBIDA", FieldType::Float, 0}};
    return fields;
}

std::string packagesSql(const std::string& quantity, const std::string& size) {
    return "CAST(ceil(" + quantity + " / " + size + " - 0.000001) AS BIGINT)";
}

DataPacket OrderReadStore::orders(const OrderFilter& filter) {
    Sql sql;
    sql(std::string("SELECT 'N', ") + kOrderHeadColumns + ", " + kSituation +
            ", CASE WHEN x.nrpedexol IS NOT NULL THEN 'Cancelado' WHEN rc.nrpedexol IS NOT NULL THEN 'Recebido'"
            " WHEN e.nrpedexol IS NOT NULL THEN 'Enviado' ELSE 'Ativo' END,"
            " coalesce(x.dtcancelamento, rc.dtlancamento, e.dtenvio), coalesce(x.cdoperador, rc.cdoperador, "
            "e.cdoperador),"
            " (SELECT count(*) FROM purchase_order_item i WHERE i.nrpedexol = o.nrpedexol) FROM purchase_order o" +
            kStateJoins + kOrderHeadJoins + " WHERE o.dtpedido BETWEEN ? AND ?",
        {filter.period.start, filter.period.end});
    viewerCondition(sql, filter.viewer);
    if (filter.kitchen) sql(" AND o.cdfilial = ?", {*filter.kitchen});
    if (filter.logisticOperator) sql(" AND o.cdfiliopelog = ?", {*filter.logisticOperator});
    if (filter.situation) sql(std::string(" AND ") + kSituation + " = ?", {situationCode(*filter.situation)});
    sql(" ORDER BY o.nrpedexol");
    return c_.packet(sql.text(), sql.params(), orderFields());
}

std::map<int64_t, OrderState> OrderReadStore::states(const std::vector<int64_t>& orders, const OrderViewer& viewer) {
    std::map<int64_t, OrderState> found;
    db::inChunks(orders, [&](const std::vector<int64_t>& slice) {
        Sql sql;
        sql(std::string("SELECT o.nrpedexol, ") + kSituation + ", e.dtenvio, rc.dtrecebimento FROM purchase_order o" +
            kStateJoins + " WHERE o.nrpedexol IN ")
            .in(slice);
        viewerCondition(sql, viewer);
        c_.each(sql.text(), sql.params(), [&](const db::ResultRow& row) {
            const std::string code = row.text(1);
            OrderState& state = found[row.integer(0)];
            state.situation = code == "C"   ? OrderSituation::Cancelled
                              : code == "R" ? OrderSituation::Received
                              : code == "E" ? OrderSituation::Sent
                                            : OrderSituation::Active;
            if (!row.isNull(2)) state.sentOn = row.dateTime(2);
            if (!row.isNull(3)) state.receivedOn = row.dateTime(3);
        });
    });
    return found;
}

DataPacket OrderReadStore::lines(int64_t order) {
    // Lines written before orders kept their need were ordered exactly as needed.
    return c_.packet(
        "SELECT i.cdproduto, p.nmproduto, p.sgunidade, coalesce(i.qtnecessaria, i.qtpedido), i.qtpedido,"
        " p.qtembalagem, " +
            packagesSql("i.qtpedido", "p.qtembalagem") +
            ", i.qtpedido - (coalesce(i.qtnecessaria, i.qtpedido) - i.qtsaldo), i.qtsaldo, i.qtrecebida"
            " FROM purchase_order_item i JOIN product p ON p.cdproduto = i.cdproduto"
            " WHERE i.nrpedexol = ? ORDER BY i.cdproduto",
        {order}, orderLineFields());
}

DataPacket OrderReadStore::requisitions(int64_t order) {
    return c_.packet(
        "SELECT i.cdproduto, p.nmproduto, r.nrrequipedido, r.nrseqrequipedido, r.cdfilial, r.cdservfili, r.cdturno,"
        " r.dtrequipedido, r.cdgrupprod, r.cdsubgrprod, i.idtipoconsumo, i.qtrequisitada"
        " FROM requisition r JOIN requisition_item i ON i.nrrequipedido = r.nrrequipedido"
        " JOIN product p ON p.cdproduto = i.cdproduto"
        " WHERE r.nrpedexol = ? ORDER BY i.cdproduto, r.nrrequipedido, i.idtipoconsumo",
        {order},
        {{"CDPRODUTO", FieldType::String, 10},
         {"NMPRODUTO", FieldType::String, 60},
         {"NRREQUIPEDIDO", FieldType::Integer, 0},
         {"NRSEQREQUIPEDIDO", FieldType::String, 10},
         {"CDFILIAL", FieldType::String, 4},
         {"CDSERVFILI", FieldType::String, 5},
         {"CDTURNO", FieldType::String, 1},
         {"DTREQUIPEDIDO", FieldType::DateTime, 0},
         {"CDGRUPPROD", FieldType::String, 10},
         {"CDSUBGRPROD", FieldType::String, 10},
         {"IDTIPOCONSUMO", FieldType::Fixed, 1},
         {"QTREQUISITADA", FieldType::Float, 0}});
}

void OrderReadStore::markSent(const std::vector<int64_t>& orders, const std::string& operatorCode, DateTime now) {
    db::inChunks(orders, [&](const std::vector<int64_t>& slice) {
        Sql sql;
        sql("INSERT INTO purchase_order_shipment (nrpedexol, cdoperador, dtenvio)"
            " SELECT nrpedexol, ?, ? FROM purchase_order WHERE nrpedexol IN ",
            {operatorCode, db::Timestamp{now}})
            .in(slice);
        c_.execute(sql.text(), sql.params());
    });
}

void OrderReadStore::markReceived(int64_t order, DateTime day, const std::map<std::string, double>& received,
                                  const std::string& operatorCode, DateTime now) {
    c_.execute(
        "INSERT INTO purchase_order_receipt (nrpedexol, dtrecebimento, cdoperador, dtlancamento) VALUES (?, ?, ?, ?)",
        {order, day, operatorCode, db::Timestamp{now}});
    c_.execute("UPDATE purchase_order_item SET qtrecebida = qtpedido WHERE nrpedexol = ?", {order});
    for (const auto& [product, quantity] : received)
        c_.execute("UPDATE purchase_order_item SET qtrecebida = ? WHERE nrpedexol = ? AND cdproduto = ?",
                   {quantity, order, product});
}

std::map<std::string, double> OrderReadStore::orderedLines(int64_t order) {
    std::map<std::string, double> lines;
    c_.each("SELECT cdproduto, qtpedido FROM purchase_order_item WHERE nrpedexol = ?", {order},
            [&](const db::ResultRow& row) { lines[row.text(0)] = row.real(1); });
    return lines;
}

std::optional<OrderReadStore::LineFigures> OrderReadStore::line(int64_t order, const std::string& product) {
    std::optional<LineFigures> found;
    c_.each(
        "SELECT o.dtpedido, p.sgunidade, coalesce(i.qtnecessaria, i.qtpedido), i.qtpedido, i.qtsaldo, p.qtembalagem,"
        " p.nrdiasvalidade FROM purchase_order_item i JOIN purchase_order o ON o.nrpedexol = i.nrpedexol"
        " JOIN product p ON p.cdproduto = i.cdproduto WHERE i.nrpedexol = ? AND i.cdproduto = ?",
        {order, product}, [&](const db::ResultRow& row) {
            found = LineFigures{row.dateTime(0), row.text(1), row.real(2),         row.real(3),
                                row.real(4),     row.real(5), int(row.integer(6)), {}};
        });
    if (!found) return found;
    c_.each(
        "SELECT tporigem, dtorigem, nrpedorigem, qtorigem FROM purchase_order_item_source"
        " WHERE nrpedexol = ? AND cdproduto = ? ORDER BY nrseq",
        {order, product}, [&](const db::ResultRow& row) {
            found->sources.push_back(
                {row.text(0).at(0), row.dateTime(1), row.isNull(2) ? 0 : row.integer(2), row.real(3)});
        });
    return found;
}

std::optional<int64_t> OrderReadStore::orderOf(int64_t requisition) {
    return c_.integer("SELECT nrpedexol FROM requisition WHERE nrrequipedido = ?", {requisition});
}

}  // namespace krv::server
