#include "server/stores/CalculationStore.h"

#include <algorithm>
#include <set>
#include <utility>

#include "server/stores/QuantitySql.h"

namespace krv::server {

namespace {

using db::Sql;

// The requisitions a calculation covers: its branch, period and services.
void scope(Sql& sql, std::string_view alias, const CalculationRequest& r) {
    const std::string a(alias);
    sql(a + ".dtrequipedido BETWEEN ? AND ? AND ", {r.start, r.end});
    Kitchens::ofServiceList(r.branch, r.serviceList).appendCondition(sql, alias);
}

// The quantities of the checked types, per service, shift, day, product and type, with
// the increase and the rounding applied and zeros left out, as the CTE "adjusted".
void adjustedQuantities(Sql& sql, const CalculationRequest& r) {
    sql("WITH ");
    consumptionQuantities(sql,
                          QuantityScope{Kitchens::ofServiceList(r.branch, r.serviceList), r.start, r.end, r.types});
    const double factor = 1 + r.increase / 100;
    // The epsilon keeps a quantity that is already a whole number of packages, give or
    // take the last bits of a double, from gaining one more package.
    // Stored rounded, so that what is stored is the decimal number shown, explained and exported.
    const std::string quantity =
        roundedSql(r.roundToPackage ? "ceil(q.qt * ? / p.qtembalagem - 1e-9) * p.qtembalagem" : "q.qt * ?");
    sql(", adjusted AS (SELECT * FROM (SELECT q.cdservfili, q.cdturno, q.dt, q.cdproduto, q.tp, p.cdgrupprod,"
        " p.cdsubgrprod, " +
            quantity + " AS qt FROM computed q JOIN product p ON p.cdproduto = q.cdproduto) x WHERE x.qt > 0) ",
        {factor});
}

constexpr const char* kSameRequisition =
    "r.cdfilial = ? AND r.cdservfili = a.cdservfili AND r.cdturno = a.cdturno AND r.dtrequipedido = a.dt"
    " AND r.cdgrupprod = a.cdgrupprod AND r.cdsubgrprod = a.cdsubgrprod";

}  // namespace

std::optional<BranchSupply> CalculationStore::supplyOf(const std::string& branch) {
    std::optional<BranchSupply> supply;
    c_.each("SELECT ol, cdfiliopelog FROM branch WHERE cdfilial = ?", {branch}, [&](const db::ResultRow& row) {
        supply =
            BranchSupply{row.text(0) == "S", row.isNull(1) ? std::nullopt : std::optional<std::string>(row.text(1))};
    });
    return supply;
}

std::optional<std::string> CalculationStore::missingDefault(const ConsumptionTypes& types) {
    std::optional<std::string> missing;
    c_.each("SELECT cdtipopratoconsfixo, cdpratoconsfixo, cdtipopratoconsper, cdpratoconsper FROM parameters", {},
            [&](const db::ResultRow& row) {
                const auto unset = [&](int column) { return row.isNull(column) || row.text(column).empty(); };
                const std::pair<bool, const char*> needs[] = {{types.fixed && unset(0), "TP_CONSFIXO"},
                                                              {types.fixed && unset(1), "PRATO_CONSFIXO"},
                                                              {types.perCapita && unset(2), "TP_CONSPER"},
                                                              {types.perCapita && unset(3), "PRATO_CONSPER"}};
                for (const auto& [lacking, key] : needs)
                    if (lacking && !missing) missing = key;
            });
    return missing;
}

bool CalculationStore::anyOrdered(const CalculationRequest& request) {
    Sql sql;
    sql("SELECT 1 FROM requisition r WHERE ");
    scope(sql, "r", request);
    // A cancelled order frees its requisitions; should one still point at it, it blocks nothing.
    sql(" AND r.nrpedexol IS NOT NULL AND NOT EXISTS (SELECT 1 FROM purchase_order_cancellation x"
        " WHERE x.nrpedexol = r.nrpedexol) LIMIT 1");
    return c_.integer(sql.text(), sql.params()).has_value();
}

std::vector<int64_t> CalculationStore::replaceItems(const CalculationRequest& request) {
    const std::vector<std::string> letters = request.types.letters();

    Sql clear;
    clear("DELETE FROM requisition_item WHERE idtipoconsumo IN ")
        .in(letters)(" AND nrrequipedido IN (SELECT r.nrrequipedido FROM requisition r WHERE ");
    scope(clear, "r", request);
    clear(")");
    c_.execute(clear.text(), clear.params());

    // The sequence counts on within the branch's day, after what is there already.
    Sql requisitions;
    adjustedQuantities(requisitions, request);
    requisitions(
        "INSERT INTO requisition (cdfilial, cdservfili, cdturno, dtrequipedido, cdgrupprod, cdsubgrprod,"
        " cdfiliopelog, nrseqrequipedido, cdfildest, cdfillanc, cdoperador, dtlancamento)"
        " SELECT ?, n.cdservfili, n.cdturno, n.dt, n.cdgrupprod, n.cdsubgrprod, ?, CAST(coalesce(("
        "SELECT max(CAST(r.nrseqrequipedido AS INTEGER)) FROM requisition r"
        " WHERE r.cdfilial = ? AND r.dtrequipedido = n.dt AND length(r.nrseqrequipedido) < 10), 0)"
        " + row_number() OVER (PARTITION BY n.dt ORDER BY n.cdservfili, n.cdturno, n.cdgrupprod, n.cdsubgrprod)"
        " AS TEXT), ?, ?, ?, ?"
        " FROM (SELECT DISTINCT a.cdservfili, a.cdturno, a.dt, a.cdgrupprod, a.cdsubgrprod FROM adjusted a"
        " WHERE NOT EXISTS (SELECT 1 FROM requisition r WHERE ",
        {request.branch, request.supplier, request.branch, request.branch, request.entryBranch, request.operatorCode,
         db::Timestamp{request.now}})(kSameRequisition, {request.branch})(")) n");
    c_.execute(requisitions.text(), requisitions.params());

    Sql items;
    adjustedQuantities(items, request);
    items(
        "INSERT INTO requisition_item (nrrequipedido, cdproduto, idtipoconsumo, qtrequisitada, pcacrescimo,"
        " qtembalagem) SELECT r.nrrequipedido, a.cdproduto, a.tp, a.qt, CAST(? AS DOUBLE PRECISION), ",
        {request.increase})(
        request.roundToPackage ? "(SELECT p.qtembalagem FROM product p WHERE p.cdproduto = a.cdproduto)"
                               : "NULL")(" FROM adjusted a JOIN requisition r ON ")(kSameRequisition, {request.branch});
    c_.execute(items.text(), items.params());

    Sql empty;
    empty("DELETE FROM requisition WHERE ");
    scope(empty, "requisition", request);
    empty(" AND NOT EXISTS (SELECT 1 FROM requisition_item i WHERE i.nrrequipedido = requisition.nrrequipedido)");
    c_.execute(empty.text(), empty.params());

    // A recalculated requisition is the latest calculation's: its supplier, entry branch,
    // operator and time.
    Sql stamp;
    stamp("UPDATE requisition SET cdfiliopelog = ?, cdfillanc = ?, cdoperador = ?, dtlancamento = ? WHERE ",
          {request.supplier, request.entryBranch, request.operatorCode, db::Timestamp{request.now}});
    scope(stamp, "requisition", request);
    stamp(
        " AND EXISTS (SELECT 1 FROM requisition_item i WHERE i.nrrequipedido = requisition.nrrequipedido"
        " AND i.idtipoconsumo IN ")
        .in(letters)(") RETURNING nrrequipedido");
    std::vector<int64_t> written;
    c_.each(stamp.text(), stamp.params(), [&](const db::ResultRow& row) { written.push_back(row.integer(0)); });
    std::sort(written.begin(), written.end());
    return written;
}

int64_t CalculationStore::itemCount(const CalculationRequest& request) {
    Sql sql;
    sql("SELECT count(*) FROM requisition r JOIN requisition_item i ON i.nrrequipedido = r.nrrequipedido WHERE ");
    scope(sql, "r", request);
    sql(" AND i.idtipoconsumo IN ").in(request.types.letters());
    return c_.integer(sql.text(), sql.params()).value_or(0);
}

std::vector<std::string> CalculationStore::servicesWithoutMenu(const CalculationRequest& request) {
    std::vector<std::string> services;
    Sql sql;
    sql("SELECT s.cdservfili || ' - ' || s.nmservico FROM service s WHERE ");
    Kitchens::ofServiceList(request.branch, request.serviceList).appendCondition(sql, "s");
    sql(" AND NOT EXISTS (SELECT 1 FROM menu m WHERE m.cdfilial = s.cdfilial AND m.cdservfili = s.cdservfili"
        " AND m.dtcardapio BETWEEN ? AND ?) ORDER BY s.cdservfili",
        {request.start, request.end});
    c_.each(sql.text(), sql.params(), [&](const db::ResultRow& row) { services.push_back(row.text(0)); });
    return services;
}

std::vector<std::string> CalculationStore::shiftDays(const CalculationRequest& request, const std::string& table,
                                                     const std::string& day, const std::string& picked,
                                                     std::initializer_list<db::Param> params) {
    std::vector<std::string> shifts;
    Sql sql;
    sql("SELECT DISTINCT t.cdservfili, s.nmservico, t.cdturno, t." + day + " FROM " + table +
            " t JOIN service s ON s.cdfilial = t.cdfilial AND s.cdservfili = t.cdservfili WHERE t." + day +
            " BETWEEN ? AND ? AND ",
        {request.start, request.end});
    Kitchens::ofServiceList(request.branch, request.serviceList).appendCondition(sql, "t");
    sql(" AND " + picked, params)(" ORDER BY t." + day + ", t.cdservfili, t.cdturno");
    c_.each(sql.text(), sql.params(), [&](const db::ResultRow& row) {
        shifts.push_back(row.text(0) + " - " + row.text(1) + ", turno " + row.text(2) + ", " + row.dateTime(3).toBr());
    });
    return shifts;
}

std::vector<std::string> CalculationStore::shiftsWithoutDiners(const CalculationRequest& request) {
    return shiftDays(request, "menu", "dtcardapio",
                     "NOT EXISTS (SELECT 1 FROM diners_forecast f WHERE f.cdfilial = t.cdfilial"
                     " AND f.cdservfili = t.cdservfili AND f.cdturno = t.cdturno AND f.dtprevisao = t.dtcardapio"
                     " AND f.nrcomensais > 0)",
                     {});
}

std::vector<std::string> CalculationStore::fixedDaysWithoutDiners(const CalculationRequest& request) {
    // Fixed consumption counts on a service's lowest shift, so only services with a shift get it.
    std::vector<std::pair<std::string, std::string>> services;  // code, "code - name"
    Sql fixed;
    fixed("SELECT s.cdservfili, s.nmservico FROM service s WHERE ");
    Kitchens::ofServiceList(request.branch, request.serviceList).appendCondition(fixed, "s");
    fixed(
        " AND EXISTS (SELECT 1 FROM fixed_consumption fc WHERE fc.cdfilial = s.cdfilial"
        " AND fc.cdservfili = s.cdservfili)"
        " AND EXISTS (SELECT 1 FROM shift t WHERE t.cdfilial = s.cdfilial AND t.cdservfili = s.cdservfili)"
        " ORDER BY s.cdservfili");
    c_.each(fixed.text(), fixed.params(),
            [&](const db::ResultRow& row) { services.emplace_back(row.text(0), row.text(0) + " - " + row.text(1)); });
    if (services.empty()) return {};
    std::set<std::pair<std::string, std::string>> eating;  // service, ISO day
    Sql diners;
    diners(
        "SELECT DISTINCT f.cdservfili, f.dtprevisao FROM diners_forecast f WHERE f.nrcomensais > 0"
        " AND f.dtprevisao BETWEEN ? AND ? AND ",
        {request.start, request.end});
    Kitchens::ofServiceList(request.branch, request.serviceList).appendCondition(diners, "f");
    c_.each(diners.text(), diners.params(),
            [&](const db::ResultRow& row) { eating.emplace(row.text(0), row.dateTime(1).toIso()); });
    std::vector<std::string> days;
    for (DateTime day = request.start; day <= request.end; day = day.addDays(1))
        for (const auto& [code, name] : services)
            if (!eating.count({code, day.toIso()})) days.push_back(name + ", " + day.toBr());
    return days;
}

std::vector<std::string> CalculationStore::dinersWithoutMenu(const CalculationRequest& request) {
    return shiftDays(request, "diners_forecast", "dtprevisao",
                     "t.nrcomensais > 0 AND NOT EXISTS (SELECT 1 FROM menu m WHERE m.cdfilial = t.cdfilial"
                     " AND m.cdservfili = t.cdservfili AND m.cdturno = t.cdturno AND m.dtcardapio = t.dtprevisao)"
                     " AND EXISTS (SELECT 1 FROM menu m WHERE m.cdfilial = t.cdfilial AND m.cdservfili = t.cdservfili"
                     " AND m.dtcardapio BETWEEN ? AND ?)",
                     {request.start, request.end});
}

std::vector<std::string> CalculationStore::dishesWithoutRecipe(const CalculationRequest& request) {
    std::vector<std::string> dishes;
    Sql sql;
    sql("SELECT DISTINCT d.cdprato, d.nmprato FROM menu m JOIN dish d ON d.cdprato = m.cdprato"
        " WHERE m.dtcardapio BETWEEN ? AND ? AND ",
        {request.start, request.end});
    Kitchens::ofServiceList(request.branch, request.serviceList).appendCondition(sql, "m");
    sql(" AND NOT EXISTS (SELECT 1 FROM recipe r WHERE r.cdprato = m.cdprato) ORDER BY d.cdprato");
    c_.each(sql.text(), sql.params(),
            [&](const db::ResultRow& row) { dishes.push_back(row.text(0) + " - " + row.text(1)); });
    return dishes;
}

DataPacket CalculationStore::items(const std::string& branch, DateTime start, DateTime end) {
    return c_.packet(
        "SELECT r.nrrequipedido, r.cdservfili, r.cdturno, r.dtrequipedido, r.cdgrupprod, r.cdsubgrprod,"
        " r.nrseqrequipedido, r.cdfiliopelog, r.nrpedexol, i.cdproduto, i.idtipoconsumo, i.qtrequisitada"
        " FROM requisition r JOIN requisition_item i ON i.nrrequipedido = r.nrrequipedido"
        " WHERE r.cdfilial = ? AND r.dtrequipedido BETWEEN ? AND ?"
        " ORDER BY r.dtrequipedido, r.cdservfili, r.cdturno, r.cdgrupprod, r.cdsubgrprod, i.cdproduto,"
        " i.idtipoconsumo",
        {branch, start, end},
        {{"NRREQUIPEDIDO", FieldType::Integer, 0},
         {"CDSERVFILI", FieldType::String, 5},
         {"CDTURNO", FieldType::String, 1},
         {"DTREQUIPEDIDO", FieldType::DateTime, 0},
         {"CDGRUPPROD", FieldType::String, 10},
         {"CDSUBGRPROD", FieldType::String, 10},
         {"NRSEQREQUIPEDIDO", FieldType::String, 10},
         {"CDFILIOPELOG", FieldType::String, 4},
         {"NRPEDEXOL", FieldType::Integer, 0},
         {"CDPRODUTO", FieldType::String, 10},
         {"IDTIPOCONSUMO", FieldType::Fixed, 1},
         {"QTREQUISITADA", FieldType::Float, 0}});
}

}  // namespace krv::server
