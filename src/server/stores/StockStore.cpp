#include "server/stores/StockStore.h"

#include "server/storage/SqlBuilder.h"

namespace krv::server {

namespace {

void readRows(db::Connection& c, const db::Sql& sql, StockRow::Kind kind,
              const std::function<void(const StockRow&)>& row) {
    c.each(sql.text(), sql.params(), [&](const db::ResultRow& r) {
        StockRow out{kind, r.text(0), r.text(1), r.dateTime(2), r.text(3), r.real(4), r.isNull(5) ? 0 : r.integer(5)};
        row(out);
    });
}

// The consumption of the kitchens' requisitions, but for those the generation orders.
void consumption(db::Sql& sql, const std::vector<std::string>& kitchens, DateTime from, DateTime to,
                 const std::optional<StockStore::Ordering>& ordering) {
    sql("SELECT r.cdfilial, i.cdproduto, r.dtrequipedido, r.cdservfili || r.cdturno, sum(i.qtrequisitada), NULL"
        " FROM requisition r JOIN requisition_item i ON i.nrrequipedido = r.nrrequipedido"
        " WHERE r.dtrequipedido BETWEEN ? AND ? AND r.cdfilial IN ",
        {from, to})
        .in(kitchens);
    if (ordering)
        sql(" AND NOT (r.nrpedexol IS NULL AND r.dtrequipedido BETWEEN ? AND ? AND EXISTS (SELECT 1"
            " FROM requisition_list_item l WHERE l.nrlista = ? AND l.nrrequipedido = r.nrrequipedido))",
            {ordering->period.start, ordering->period.end, ordering->list});
}

}  // namespace

void StockStore::ledgerRows(const std::set<std::string>& kitchens, DateTime from, DateTime consumedFrom, DateTime to,
                            const std::function<void(const StockRow&)>& row, const std::optional<Ordering>& ordering) {
    const std::vector<std::string> all(kitchens.begin(), kitchens.end());
    db::inChunks(all, [&](const std::vector<std::string>& chunk) {
        db::Sql counts;
        counts(
            "SELECT cdfilial, cdproduto, dtcontagem, '', qtestoque, NULL FROM stock_count"
            " WHERE dtcontagem BETWEEN ? AND ? AND cdfilial IN ",
            {from, to})
            .in(chunk);
        readRows(c_, counts, StockRow::Kind::Count, row);
        db::Sql receipts;
        receipts(
            "SELECT o.cdfilial, i.cdproduto, rc.dtrecebimento, '', coalesce(i.qtrecebida, i.qtpedido), o.nrpedexol"
            " FROM purchase_order_receipt rc JOIN purchase_order o ON o.nrpedexol = rc.nrpedexol"
            " JOIN purchase_order_item i ON i.nrpedexol = o.nrpedexol"
            " WHERE rc.dtrecebimento BETWEEN ? AND ? AND o.cdfilial IN ",
            {from, to})
            .in(chunk);
        readRows(c_, receipts, StockRow::Kind::Receipt, row);
        db::Sql pending;
        pending("SELECT o.cdfilial, i.cdproduto, o.dtpedido, '', i.qtpedido, o.nrpedexol"
                " FROM purchase_order o JOIN purchase_order_item i ON i.nrpedexol = o.nrpedexol"
                " WHERE o.dtpedido BETWEEN ? AND ? AND o.cdfilial IN ",
                {from, to})
            .in(chunk)(
                " AND NOT EXISTS (SELECT 1 FROM purchase_order_cancellation x WHERE x.nrpedexol = o.nrpedexol)"
                " AND NOT EXISTS (SELECT 1 FROM purchase_order_receipt rc WHERE rc.nrpedexol = o.nrpedexol)");
        readRows(c_, pending, StockRow::Kind::PendingOrder, row);
        db::Sql consumed;
        consumption(consumed, chunk, consumedFrom, to, ordering);
        consumed(" GROUP BY r.cdfilial, i.cdproduto, r.dtrequipedido, r.cdservfili, r.cdturno");
        readRows(c_, consumed, StockRow::Kind::Consumption, row);
    });
}

void StockStore::consumptionRows(const std::set<std::string>& kitchens, const std::set<std::string>& products,
                                 DateTime from, DateTime to, const std::function<void(const StockRow&)>& row,
                                 const std::optional<Ordering>& ordering) {
    if (products.empty()) return;
    const std::vector<std::string> all(kitchens.begin(), kitchens.end());
    db::inChunks(all, [&](const std::vector<std::string>& chunk) {
        db::Sql consumed;
        consumption(consumed, chunk, from, to, ordering);
        consumed(" AND i.cdproduto IN ")
            .in(products)(" GROUP BY r.cdfilial, i.cdproduto, r.dtrequipedido, r.cdservfili, r.cdturno");
        readRows(c_, consumed, StockRow::Kind::Consumption, row);
    });
}

std::optional<StockProduct> StockStore::productIfAny(const std::string& code) {
    std::optional<StockProduct> found;
    c_.each("SELECT qtembalagem, nrdiasvalidade FROM product WHERE cdproduto = ?", {code}, [&](const db::ResultRow& r) {
        found = StockProduct{r.real(0), int(r.integer(1))};
    });
    return found;
}

StockProduct StockStore::product(const std::string& code) { return productIfAny(code).value_or(StockProduct{}); }

std::vector<StockStore::KitchenProduct> StockStore::kitchenProducts(const std::string& kitchen, DateTime day) {
    std::vector<KitchenProduct> products;
    c_.each(
        "WITH dealt AS ("
        " SELECT i.cdproduto FROM requisition r JOIN requisition_item i ON i.nrrequipedido = r.nrrequipedido"
        " WHERE r.cdfilial = ?"
        " UNION SELECT i.cdproduto FROM purchase_order o JOIN purchase_order_item i ON i.nrpedexol = o.nrpedexol"
        " WHERE o.cdfilial = ?"
        " UNION SELECT cdproduto FROM stock_count WHERE cdfilial = ?)"
        " SELECT p.cdproduto, p.nmproduto, p.sgunidade, p.nrdiasvalidade, p.qtembalagem, c.dtcontagem, c.qtestoque"
        " FROM dealt d JOIN product p ON p.cdproduto = d.cdproduto"
        " LEFT JOIN stock_count c ON c.cdfilial = ? AND c.cdproduto = p.cdproduto AND c.dtcontagem ="
        " (SELECT max(l.dtcontagem) FROM stock_count l WHERE l.cdfilial = ? AND l.cdproduto = p.cdproduto"
        " AND l.dtcontagem <= ?)"
        " ORDER BY p.cdproduto",
        {kitchen, kitchen, kitchen, kitchen, kitchen, day}, [&](const db::ResultRow& r) {
            KitchenProduct p{r.text(0), r.text(1), r.text(2), int(r.integer(3)), r.real(4), std::nullopt, std::nullopt};
            if (!r.isNull(5)) {
                p.countedOn = r.dateTime(5);
                p.counted = r.real(6);
            }
            products.push_back(std::move(p));
        });
    return products;
}

void StockStore::saveCounts(const std::string& kitchen, const std::vector<Count>& counts,
                            const std::string& operatorCode, DateTime now) {
    for (const Count& count : counts) {
        c_.execute("DELETE FROM stock_count WHERE cdfilial = ? AND cdproduto = ? AND dtcontagem = ?",
                   {kitchen, count.product, count.day});
        c_.execute(
            "INSERT INTO stock_count (cdfilial, cdproduto, dtcontagem, qtestoque, cdoperador, dtlancamento)"
            " VALUES (?, ?, ?, ?, ?, ?)",
            {kitchen, count.product, count.day, count.quantity, operatorCode, db::Timestamp{now}});
    }
}

}  // namespace krv::server
