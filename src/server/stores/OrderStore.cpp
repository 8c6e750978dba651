#include "server/stores/OrderStore.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <stdexcept>

#include "server/storage/RowBatches.h"
#include "server/storage/SqlBuilder.h"
#include "server/stores/ListStore.h"
#include "server/stores/QuantitySql.h"

namespace krv::server {

// The open listed requisitions of the period, each with its order's group and the number
// its order gets: groups are numbered in the order of their keys, so every statement that
// starts from here numbers them alike.
std::string numberedOrders(bool perShift) {
    const std::string shift = perShift ? "r.cdturno" : "CAST(NULL AS TEXT)";
    return "WITH grouped AS ("
           " SELECT r.nrrequipedido, r.cdfiliopelog, r.dtrequipedido AS dtpedido,"
           " coalesce(?, r.cdfilial) AS cdfilial, coalesce(?, r.cdservfili) AS cdservfili, " +
           shift +
           " AS cdturno"
           " FROM requisition_list_item l JOIN requisition r ON r.nrrequipedido = l.nrrequipedido"
           " WHERE l.nrlista = ? AND r.nrpedexol IS NULL AND r.dtrequipedido BETWEEN ? AND ?),"
           " numbered AS ("
           " SELECT g.*, ? + dense_rank() OVER (ORDER BY cdfiliopelog, dtpedido, cdfilial, cdservfili, cdturno)"
           " AS nrpedexol FROM grouped g) ";
}

db::Params numberedOrdersParams(const OrderRequest& request, int64_t after) {
    const auto orNull = [](const std::optional<std::string>& code) { return code ? db::Param(*code) : nullptr; };
    return {orNull(request.branch), orNull(request.service), request.list,
            request.period.start,   request.period.end,      after};
}

std::string orderLineQuantities(bool roundToPackage) {
    // A line's packages are computed with a margin of a millionth of a package, so that a
    // sum that is exactly whole packages but slipped above them in floating point (1.0000000002
    // packages) is not ordered as one package more.
    // Sums of stored quantities are stored rounded like them: 0,1 + 0,2 is 0,3.
    const std::string needed = roundedSql("sum(i.qtrequisitada)");
    const std::string ordered =
        roundToPackage ? roundedSql("ceil(" + needed + " / p.qtembalagem - 0.000001) * p.qtembalagem") : needed;
    return needed + " AS qtnecessaria, " + ordered + " AS qtpedido";
}

DataPacket OrderStore::requisitions(const Filter& filter) {
    // Every narrowing is in the query, so a long period of many branches is never read whole.
    if ((filter.branches && filter.branches->empty()) || (filter.groupings && filter.groupings->empty()))
        return DataPacket{requisitionListFields(), {}};
    db::Sql sql;
    sql("SELECT 'N', r.nrrequipedido, r.cdservfili, s.nmservico, r.cdturno, t.nmturno, r.dtrequipedido,"
        " r.nrseqrequipedido, r.cdgrupprod, r.cdsubgrprod, g.nmsubgrprod, r.cdfiliopelog, o.nmfilial, r.nrpedexol,"
        " r.cdfildest, r.cdfillanc, r.dtrequipedido, substr(r.cdfiliopelog || ' - ' || o.nmfilial, 1, 34),"
        " r.cdfilial"
        " FROM requisition r"
        " JOIN service s ON s.cdfilial = r.cdfilial AND s.cdservfili = r.cdservfili"
        " JOIN shift t ON t.cdfilial = r.cdfilial AND t.cdservfili = r.cdservfili AND t.cdturno = r.cdturno"
        " JOIN product_grouping g ON g.cdgrupprod = r.cdgrupprod AND g.cdsubgrprod = r.cdsubgrprod"
        " JOIN branch o ON o.cdfilial = r.cdfiliopelog"
        " WHERE r.dtrequipedido BETWEEN ? AND ?",
        {filter.period.start, filter.period.end});
    if (filter.branches) sql(" AND r.cdfilial IN ").in(*filter.branches);
    if (filter.shiftList)
        sql(" AND EXISTS (SELECT 1 FROM shift_list_item l WHERE l.nrlista = ? AND l.cdservfili = r.cdservfili"
            " AND l.cdturno = r.cdturno)",
            {*filter.shiftList});
    if (filter.groupings) sql(" AND (r.cdgrupprod, r.cdsubgrprod) IN ").inPairs(*filter.groupings);
    sql(" ORDER BY r.cdfilial, r.dtrequipedido, r.cdservfili, r.cdturno, r.cdgrupprod, r.cdsubgrprod");
    if (filter.atMost) sql(" LIMIT ?", {int64_t(filter.atMost + 1)});
    DataPacket list = c_.packet(sql.text(), sql.params(), requisitionListFields());
    for (Row& row : list.rows) row[kListDayText] = Variant(row[kListDay].asDateTime().toBr());
    return list;
}

std::unordered_map<int64_t, std::pair<std::string, DateTime>> OrderStore::branchAndDay(
    const std::vector<int64_t>& numbers) {
    std::unordered_map<int64_t, std::pair<std::string, DateTime>> found;
    found.reserve(numbers.size());
    db::inChunks(numbers, [&](const std::vector<int64_t>& chunk) {
        db::Sql sql;
        sql("SELECT nrrequipedido, cdfilial, dtrequipedido FROM requisition WHERE nrrequipedido IN ").in(chunk);
        c_.each(sql.text(), sql.params(), [&](const db::ResultRow& row) {
            found[row.integer(0)] = {row.text(1), row.dateTime(2)};
        });
    });
    return found;
}

int64_t OrderStore::storeList(const std::vector<ListedRequisition>& rows, const std::string& owner,
                              std::optional<int64_t> renewed, DateTime now) {
    std::vector<int64_t> numbers;
    numbers.reserve(rows.size());
    for (const ListedRequisition& r : rows) numbers.push_back(r.number);
    // The list's rows are keyed by number: inserted in that order, each lands after the one
    // before, instead of on a page anywhere in an index larger than the database's cache.
    std::sort(numbers.begin(), numbers.end());
    return ListStore(c_, owner).storeRequisitions(ListKind::Requisitions, numbers, renewed, now);
}

std::vector<std::string> OrderStore::kitchensOfList(int64_t list) {
    std::vector<std::string> kitchens;
    c_.each(
        "SELECT DISTINCT r.cdfilial FROM requisition_list_item l JOIN requisition r"
        " ON r.nrrequipedido = l.nrrequipedido WHERE l.nrlista = ?",
        {list}, [&](const db::ResultRow& row) { kitchens.push_back(row.text(0)); });
    return kitchens;
}

bool OrderStore::isServiceOf(const std::string& branch, const std::string& service) {
    return c_.integer("SELECT 1 FROM service WHERE cdfilial = ? AND cdservfili = ?", {branch, service}).has_value();
}

int64_t OrderStore::claimOrderNumbers() {
    // Writing the row before reading it is what queues a concurrent generation of other
    // kitchens: the later one waits for the row and then reads what the first committed.
    c_.execute("UPDATE order_counter SET nrpedexol = nrpedexol WHERE id = 1");
    const int64_t counted = c_.integer("SELECT nrpedexol FROM order_counter WHERE id = 1").value_or(0);
    // Orders may also have arrived without the counter, e.g. imported.
    const int64_t highest = c_.integer("SELECT max(nrpedexol) FROM purchase_order").value_or(0);
    return std::max(counted, highest);
}

int64_t OrderStore::insertOrders(const OrderRequest& request, int64_t after) {
    db::Params params = numberedOrdersParams(request, after);
    params.insert(params.end(), {request.operatorCode, db::Timestamp{request.now}, request.currentBranch});
    return c_.execute(numberedOrders(request.perShift) +
                          "INSERT INTO purchase_order (nrpedexol, cdfiliopelog, cdfilial, cdservfili, cdturno,"
                          " dtpedido, cdoperador, dtlancamento, cdfilproc)"
                          " SELECT o.nrpedexol, o.cdfiliopelog, o.cdfilial, o.cdservfili, o.cdturno, o.dtpedido,"
                          " ?, ?, ? FROM (SELECT DISTINCT nrpedexol, cdfiliopelog, cdfilial, cdservfili, cdturno,"
                          " dtpedido FROM numbered) o",
                      params);
}

int64_t OrderStore::markRequisitions(const OrderRequest& request, int64_t after) {
    return c_.execute(numberedOrders(request.perShift) +
                          "UPDATE requisition SET nrpedexol = n.nrpedexol FROM numbered n"
                          " WHERE n.nrrequipedido = requisition.nrrequipedido",
                      numberedOrdersParams(request, after));
}

void OrderStore::insertItemsAndCount(int64_t after, int64_t orders, bool roundToPackage) {
    c_.execute(
        "INSERT INTO purchase_order_item (nrpedexol, cdproduto, qtnecessaria, qtpedido)"
        " SELECT r.nrpedexol, i.cdproduto, " +
            orderLineQuantities(roundToPackage) +
            " FROM requisition r JOIN requisition_item i ON i.nrrequipedido = r.nrrequipedido"
            " JOIN product p ON p.cdproduto = i.cdproduto"
            " WHERE r.nrpedexol > ? GROUP BY r.nrpedexol, i.cdproduto, p.qtembalagem",
        {after});
    c_.execute("UPDATE order_counter SET nrpedexol = ? WHERE id = 1", {after + orders});
}

OrderStore::Ordered OrderStore::ordered(const OrderRequest& request) {
    Ordered out;
    std::map<std::pair<int64_t, std::string>, int64_t> millionths;  // (sequence, product) → need
    int64_t lastRequisition = 0;
    bool rounded = false;
    const auto closeRequisition = [&] {
        if (rounded) ++out.roundedRequisitions;
        rounded = false;
    };
    c_.each(numberedOrders(request.perShift) +
                "SELECT n.nrpedexol, n.cdfiliopelog, n.cdfilial, n.cdservfili, n.cdturno, n.dtpedido, n.nrrequipedido,"
                " i.cdproduto, i.qtrequisitada, i.qtembalagem"
                " FROM numbered n LEFT JOIN requisition_item i ON i.nrrequipedido = n.nrrequipedido"
                " ORDER BY n.nrpedexol, n.nrrequipedido",
            numberedOrdersParams(request, 0), [&](const db::ResultRow& row) {
                const int64_t sequence = row.integer(0), requisition = row.integer(6);
                if (out.groups.empty() || out.groups.back().sequence != sequence)
                    out.groups.push_back({sequence,
                                          row.text(1),
                                          row.text(2),
                                          row.text(3),
                                          row.isNull(4) ? std::nullopt : std::optional(row.text(4)),
                                          row.dateTime(5),
                                          {}});
                if (requisition != lastRequisition) {
                    closeRequisition();
                    out.groups.back().requisitions.push_back(requisition);
                    lastRequisition = requisition;
                }
                if (row.isNull(7)) return;
                // Stored quantities have six decimals: summed as millionths they add up exactly.
                millionths[{sequence, row.text(7)}] += std::llround(row.real(8) * 1e6);
                rounded = rounded || !row.isNull(9);
            });
    closeRequisition();
    out.needs.reserve(millionths.size());
    for (const auto& [key, need] : millionths) out.needs.push_back({key.first, key.second, double(need) / 1e6});
    return out;
}

void OrderStore::insertNetted(const OrderRequest& request, const std::vector<std::pair<int64_t, const Group*>>& orders,
                              const std::vector<Line>& lines, int64_t last) {
    RowBatches batches(c_);
    const size_t headers = batches.table(
        "purchase_order",
        "nrpedexol, cdfiliopelog, cdfilial, cdservfili, cdturno, dtpedido, cdoperador, dtlancamento, cdfilproc", 9);
    const size_t items =
        batches.table("purchase_order_item", "nrpedexol, cdproduto, qtnecessaria, qtpedido, qtsaldo", 5);
    const size_t sources = batches.table("purchase_order_item_source",
                                         "nrpedexol, cdproduto, nrseq, tporigem, dtorigem, nrpedorigem, qtorigem", 7);
    for (const auto& [number, group] : orders)
        batches.add(headers, {number, group->supplier, group->branch, group->service,
                              group->shift ? db::Param(*group->shift) : nullptr, group->day, request.operatorCode,
                              db::Timestamp{request.now}, request.currentBranch});
    for (const Line& line : lines) {
        batches.add(items, {line.order, line.product, line.need, line.bought, line.fromStock});
        int64_t sequence = 0;
        for (const StockSource& source : line.sources)
            batches.add(sources, {line.order, line.product, ++sequence, std::string(1, source.origin), source.day,
                                  source.order ? db::Param(source.order) : nullptr, source.quantity});
    }
    batches.flush();
    // Each requisition finds its order by the order's key: a group that buys nothing has no
    // order, and its requisitions stay open.
    if (!orders.empty()) {
        db::Params params = numberedOrdersParams(request, 0);
        params.push_back(orders.front().first);
        c_.execute(numberedOrders(request.perShift) +
                       "UPDATE requisition SET nrpedexol = o.nrpedexol FROM numbered n JOIN purchase_order o"
                       " ON o.cdfilial = n.cdfilial AND o.dtpedido = n.dtpedido AND o.cdfiliopelog = n.cdfiliopelog"
                       " AND o.cdservfili = n.cdservfili AND coalesce(o.cdturno, '') = coalesce(n.cdturno, '')"
                       " AND o.nrpedexol >= ?"
                       " WHERE n.nrrequipedido = requisition.nrrequipedido",
                   params);
    }
    c_.execute("UPDATE order_counter SET nrpedexol = ? WHERE id = 1", {last});
}

}  // namespace krv::server
