#pragma once
// Requisitions written straight into the database, as a calculation leaves them; for
// order-generation tests and benchmarks.
#include <cstdint>
#include <string>
#include <vector>

#include "core/DateTime.h"
#include "server/storage/Database.h"

namespace krv::server::test {

struct RequisitionItem {
    std::string product;
    std::string consumptionType;  // C, F or P
    double quantity;
};

struct NewRequisition {
    std::string branch, service, shift;
    DateTime day;
    std::string group, grouping;
    std::string supplier = "0007";
    std::vector<RequisitionItem> items;
};

inline int64_t addRequisition(db::Connection& c, const NewRequisition& r) {
    const auto number = c.integer(
        "INSERT INTO requisition (cdfilial, cdservfili, cdturno, dtrequipedido, cdgrupprod, cdsubgrprod, cdfiliopelog,"
        " nrseqrequipedido, cdfildest, cdfillanc, cdoperador, dtlancamento)"
        " VALUES (?, ?, ?, ?, ?, ?, ?, '1', ?, ?, 'calc', ?) RETURNING nrrequipedido",
        {r.branch, r.service, r.shift, r.day, r.group, r.grouping, r.supplier, r.branch, r.branch,
         db::Timestamp{r.day}});
    for (const RequisitionItem& item : r.items)
        c.execute(
            "INSERT INTO requisition_item (nrrequipedido, cdproduto, idtipoconsumo, qtrequisitada)"
            " VALUES (?, ?, ?, ?)",
            {*number, item.product, item.consumptionType, item.quantity});
    return *number;
}

// One open requisition for every shift of every branch, every grouping and each of `days`
// days from `first`, supplied by the operator branch, each with a raw-material and a fixed
// item of the grouping's first product. Returns how many requisitions there are now.
inline int64_t addManyRequisitions(db::Connection& c, DateTime first, int days) {
    c.write([&](db::Connection& w) {
        for (int d = 0; d < days; ++d)
            w.execute(
                "INSERT INTO requisition (cdfilial, cdservfili, cdturno, dtrequipedido, cdgrupprod, cdsubgrprod,"
                " cdfiliopelog, nrseqrequipedido, cdfildest, cdfillanc, cdoperador, dtlancamento)"
                " SELECT t.cdfilial, t.cdservfili, t.cdturno, ?, g.cdgrupprod, g.cdsubgrprod, '0007', '1',"
                " t.cdfilial, t.cdfilial, 'calc', ? FROM shift t, product_grouping g",
                {first.addDays(d), db::Timestamp{first}});
        for (const char* type : {"C", "F"})
            w.execute(
                "INSERT INTO requisition_item (nrrequipedido, cdproduto, idtipoconsumo, qtrequisitada)"
                " SELECT r.nrrequipedido, min(p.cdproduto), ?, 1.5 FROM requisition r JOIN product p"
                " ON p.cdgrupprod = r.cdgrupprod AND p.cdsubgrprod = r.cdsubgrprod"
                " WHERE NOT EXISTS (SELECT 1 FROM requisition_item i WHERE i.nrrequipedido = r.nrrequipedido"
                " AND i.idtipoconsumo = ?) GROUP BY r.nrrequipedido",
                {type, type});
    });
    return *c.integer("SELECT count(*) FROM requisition");
}

}  // namespace krv::server::test
