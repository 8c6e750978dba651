#include "server/stores/ExplanationStore.h"

#include "server/stores/QuantitySql.h"

namespace krv::server {

using db::Sql;

namespace {

// The kitchen's service and day under `alias`, and its shift when it has one.
void where(Sql& sql, std::string_view alias, std::string_view dayColumn, const Kitchen& k) {
    const std::string a(alias);
    sql(a + ".cdfilial = ? AND " + a + ".cdservfili = ? AND " + a + "." + std::string(dayColumn) + " = ?",
        {k.branch, k.service, k.day});
    if (k.shift) sql(" AND " + a + ".cdturno = ?", {*k.shift});
}

}  // namespace

std::optional<StoredItem> ExplanationStore::requisitionItem(int64_t requisition, const std::string& product) {
    std::optional<StoredItem> item;
    c_.each(
        "SELECT r.cdfilial, r.cdservfili, r.cdturno, r.dtrequipedido, i.idtipoconsumo, i.qtrequisitada,"
        " i.pcacrescimo, i.qtembalagem"
        " FROM requisition r JOIN requisition_item i ON i.nrrequipedido = r.nrrequipedido"
        " WHERE r.nrrequipedido = ? AND i.cdproduto = ? ORDER BY i.idtipoconsumo",
        {requisition, product}, [&](const db::ResultRow& row) {
            if (!item)
                item = StoredItem{Kitchen{row.text(0), row.text(1), row.text(2), *DateTime::parseIso(row.text(3))}, {}};
            const auto optional = [&](int column) {
                return row.isNull(column) ? std::nullopt : std::optional<double>(row.real(column));
            };
            item->quantities.push_back(StoredQuantity{row.text(4), row.real(5), optional(6), optional(7)});
        });
    return item;
}

std::optional<double> ExplanationStore::forecast(const std::string& logisticOperator, const Kitchen& kitchen,
                                                 const std::string& product) {
    std::optional<double> quantity;
    Sql sql;
    sql("SELECT f.qtprevista FROM consumption_forecast f WHERE f.cdfiliopelog = ? AND f.cdproduto = ? AND ",
        {logisticOperator, product});
    where(sql, "f", "dtprevisao", kitchen);
    c_.each(sql.text(), sql.params(), [&](const db::ResultRow& row) { quantity = row.real(0); });
    return quantity;
}

std::vector<MakeUpPart> ExplanationStore::makeUp(const Kitchen& k, const std::string& product) {
    Sql sql;
    sql("SELECT 'C', m.cdturno, d.cdprato || ' - ' || d.nmprato, f.nrcomensais, rc.qtpercapita,"
        " f.nrcomensais * rc.qtpercapita"
        " FROM menu m"
        " JOIN diners_forecast f ON f.cdfilial = m.cdfilial AND f.cdservfili = m.cdservfili"
        " AND f.cdturno = m.cdturno AND f.dtprevisao = m.dtcardapio"
        " JOIN recipe rc ON rc.cdprato = m.cdprato AND rc.cdproduto = ?"
        " JOIN dish d ON d.cdprato = m.cdprato WHERE ",
        {product});
    where(sql, "m", "dtcardapio", k);
    sql(" UNION ALL SELECT 'P', f.cdturno, 'Consumo per capita', f.nrcomensais, pc.qtpercapita,"
        " f.nrcomensais * pc.qtpercapita"
        " FROM diners_forecast f"
        " JOIN percapita_consumption pc ON pc.cdfilial = f.cdfilial AND pc.cdservfili = f.cdservfili"
        " AND pc.cdproduto = ? WHERE ",
        {product});
    where(sql, "f", "dtprevisao", k);
    // Fixed consumption counts once a day, on the service's lowest shift, whether or not
    // the day has diners.
    sql(" UNION ALL SELECT 'F', s.cdturno, 'Consumo fixo diário, contado no primeiro turno do serviço', NULL,"
        " fc.qtdiaria, fc.qtdiaria"
        " FROM fixed_consumption fc"
        " JOIN (SELECT min(sh.cdturno) AS cdturno FROM shift sh WHERE sh.cdfilial = ? AND sh.cdservfili = ?) s"
        " ON s.cdturno IS NOT NULL WHERE fc.cdproduto = ? AND fc.cdfilial = ? AND fc.cdservfili = ?",
        {k.branch, k.service, product, k.branch, k.service});
    if (k.shift) sql(" AND s.cdturno = ?", {*k.shift});
    sql(" ORDER BY 1, 2, 3");
    std::vector<MakeUpPart> parts;
    c_.each(sql.text(), sql.params(), [&](const db::ResultRow& row) {
        parts.push_back(MakeUpPart{row.text(0), row.text(1), row.text(2),
                                   row.isNull(3) ? std::nullopt : std::optional<int64_t>(row.integer(3)), row.real(4),
                                   row.real(5)});
    });
    return parts;
}

DataPacket ExplanationStore::products(int64_t requisition) {
    return c_.packet(
        "SELECT i.cdproduto, p.nmproduto, p.sgunidade,"
        " sum(CASE WHEN i.idtipoconsumo = 'C' THEN i.qtrequisitada END),"
        " sum(CASE WHEN i.idtipoconsumo = 'F' THEN i.qtrequisitada END),"
        " sum(CASE WHEN i.idtipoconsumo = 'P' THEN i.qtrequisitada END), " +
            roundedSql("sum(i.qtrequisitada)") +
            " FROM requisition_item i JOIN product p ON p.cdproduto = i.cdproduto WHERE i.nrrequipedido = ?"
            " GROUP BY i.cdproduto, p.nmproduto, p.sgunidade ORDER BY p.nmproduto, i.cdproduto",
        {requisition},
        {{"CDPRODUTO", FieldType::String, 10},
         {"NMPRODUTO", FieldType::String, 60},
         {"SGUNIDADE", FieldType::String, 4},
         {"QTMATERIAPRIMA", FieldType::Float, 0},
         {"QTCONSUMOFIXO", FieldType::Float, 0},
         {"QTPERCAPITA", FieldType::Float, 0},
         {"QTTOTAL", FieldType::Float, 0}});
}

bool ExplanationStore::forecastExists(const std::string& logisticOperator, DateTime start, DateTime end) {
    return c_
        .integer("SELECT 1 FROM consumption_forecast WHERE cdfiliopelog = ? AND dtprevisao BETWEEN ? AND ? LIMIT 1",
                 {logisticOperator, start, end})
        .has_value();
}

bool ExplanationStore::requisitionExists(int64_t requisition) {
    return c_.integer("SELECT 1 FROM requisition WHERE nrrequipedido = ?", {requisition}).has_value();
}

bool ExplanationStore::productExists(const std::string& product) {
    return c_.integer("SELECT 1 FROM product WHERE cdproduto = ?", {product}).has_value();
}

bool ExplanationStore::serviceExists(const std::string& branch, const std::string& service) {
    return c_.integer("SELECT 1 FROM service WHERE cdfilial = ? AND cdservfili = ?", {branch, service}).has_value();
}

}  // namespace krv::server
