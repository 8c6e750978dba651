#include "server/stores/ForecastStore.h"

#include "server/stores/QuantitySql.h"

namespace krv::server {

int64_t ForecastStore::replace(const ForecastRequest& r) {
    c_.execute("DELETE FROM consumption_forecast WHERE cdfiliopelog = ? AND dtprevisao BETWEEN ? AND ?",
               {r.logisticOperator, r.start, r.end});

    // A forecast is what the kitchens will use: no increase, no package rounding, and the
    // shifts of a service summed into its day.
    db::Sql insert;
    insert("WITH ");
    consumptionQuantities(insert, QuantityScope{Kitchens::suppliedBy(r.logisticOperator), r.start, r.end,
                                                ConsumptionTypes{true, true, true}});
    insert(
        " INSERT INTO consumption_forecast (cdfiliopelog, cdfilial, cdservfili, dtprevisao, cdproduto, qtprevista,"
        " cdoperador, dtlancamento)"
        " SELECT ?, q.cdfilial, q.cdservfili, q.dt, q.cdproduto, " +
            roundedSql("sum(q.qt)") +
            ", ?, ? FROM computed q"
            " GROUP BY q.cdfilial, q.cdservfili, q.dt, q.cdproduto HAVING " +
            roundedSql("sum(q.qt)") + " > 0",
        {r.logisticOperator, r.operatorCode, db::Timestamp{r.now}});
    return c_.execute(insert.text(), insert.params());
}

DataPacket ForecastStore::rows(const std::string& logisticOperator, DateTime start, DateTime end) {
    return c_.packet(
        "SELECT f.cdfilial, b.nmfilial, f.cdservfili, s.nmservico, f.dtprevisao, f.cdproduto, p.nmproduto,"
        " p.sgunidade, f.qtprevista, f.cdoperador, f.dtlancamento"
        " FROM consumption_forecast f"
        " JOIN branch b ON b.cdfilial = f.cdfilial"
        " JOIN service s ON s.cdfilial = f.cdfilial AND s.cdservfili = f.cdservfili"
        " JOIN product p ON p.cdproduto = f.cdproduto"
        " WHERE f.cdfiliopelog = ? AND f.dtprevisao BETWEEN ? AND ?"
        " ORDER BY f.cdfilial, f.cdservfili, f.dtprevisao, f.cdproduto",
        {logisticOperator, start, end},
        {{"CDFILIAL", FieldType::String, 4},
         {"NMFILIAL", FieldType::String, 30},
         {"CDSERVFILI", FieldType::String, 5},
         {"NMSERVICO", FieldType::String, 40},
         {"DTPREVISAO", FieldType::DateTime, 0},
         {"CDPRODUTO", FieldType::String, 10},
         {"NMPRODUTO", FieldType::String, 60},
         {"SGUNIDADE", FieldType::String, 4},
         {"QTPREVISTA", FieldType::Float, 0},
         {"CDOPERADOR", FieldType::String, 30},
         {"DTLANCAMENTO", FieldType::DateTime, 0}});
}

}  // namespace krv::server
