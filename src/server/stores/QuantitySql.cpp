#include "server/stores/QuantitySql.h"

#include "core/NumberText.h"

namespace krv::server {

std::string roundedSql(const std::string& expression) {
    static_assert(kQuantityDecimals == 6, "the scale below is 10^kQuantityDecimals");
    constexpr const char* scale = "CAST(1000000 AS DOUBLE PRECISION)";
    return std::string("(floor((") + expression + ") * " + scale + " + 0.5) / " + scale + ")";
}

void Kitchens::appendCondition(db::Sql& sql, std::string_view alias) const {
    const std::string a(alias);
    if (serviceList_)
        sql(a + ".cdfilial = ? AND " + a +
                ".cdservfili IN (SELECT l.cdservfili FROM service_list_item l WHERE l.nrlista = ?)",
            {branch_, *serviceList_});
    else
        sql(a + ".cdfilial IN (SELECT b.cdfilial FROM branch b WHERE b.cdfiliopelog = ?)", {branch_});
}

void consumptionQuantities(db::Sql& sql, const QuantityScope& scope) {
    const ConsumptionTypes& types = scope.types;
    if (types.fixed) {
        // Fixed consumption counts every day, with or without diners: the period's days
        // are spelled out, since the engines share no way to count days in SQL.
        sql("days (dt) AS (VALUES ");
        for (DateTime day = scope.start; day <= scope.end; day = day.addDays(1))
            sql(day == scope.start ? "(date(?))" : ", (date(?))", {day});
        sql("), ");
    }
    sql("computed (cdfilial, cdservfili, cdturno, dt, cdproduto, tp, qt) AS (");
    const char* separator = "";
    if (types.rawMaterial) {
        sql("SELECT m.cdfilial, m.cdservfili, m.cdturno, m.dtcardapio, rc.cdproduto, 'C',"
            " sum(f.nrcomensais * rc.qtpercapita)"
            " FROM menu m"
            " JOIN diners_forecast f ON f.cdfilial = m.cdfilial AND f.cdservfili = m.cdservfili"
            " AND f.cdturno = m.cdturno AND f.dtprevisao = m.dtcardapio"
            " JOIN recipe rc ON rc.cdprato = m.cdprato"
            " WHERE m.dtcardapio BETWEEN ? AND ? AND ",
            {scope.start, scope.end});
        scope.kitchens.appendCondition(sql, "m");
        sql(" GROUP BY m.cdfilial, m.cdservfili, m.cdturno, m.dtcardapio, rc.cdproduto");
        separator = " UNION ALL ";
    }
    if (types.perCapita) {
        sql(separator)(
            "SELECT f.cdfilial, f.cdservfili, f.cdturno, f.dtprevisao, pc.cdproduto, 'P', f.nrcomensais * "
            "pc.qtpercapita"
            " FROM diners_forecast f"
            " JOIN percapita_consumption pc ON pc.cdfilial = f.cdfilial AND pc.cdservfili = f.cdservfili"
            " WHERE f.dtprevisao BETWEEN ? AND ? AND ",
            {scope.start, scope.end});
        scope.kitchens.appendCondition(sql, "f");
        separator = " UNION ALL ";
    }
    if (types.fixed) {
        sql(separator)(
            "SELECT fc.cdfilial, fc.cdservfili, s.cdturno, d.dt, fc.cdproduto, 'F', fc.qtdiaria"
            " FROM fixed_consumption fc"
            " JOIN (SELECT sh.cdfilial, sh.cdservfili, min(sh.cdturno) AS cdturno FROM shift sh WHERE ");
        scope.kitchens.appendCondition(sql, "sh");
        sql(" GROUP BY sh.cdfilial, sh.cdservfili) s ON s.cdfilial = fc.cdfilial AND s.cdservfili = fc.cdservfili"
            " CROSS JOIN days d WHERE ");
        scope.kitchens.appendCondition(sql, "fc");
    }
    sql(")");
}

}  // namespace krv::server
