#pragma once
// The fewest packages any ordering could buy for the requisitions in a database: each
// kitchen's need of a product summed over windows of its shelf life, from its first day of
// need, and each window rounded up to packages once. Shared by the netting test and its
// benchmark, so both hold the generation to the same yardstick.
#include <cmath>
#include <map>
#include <string>
#include <utility>

#include "server/storage/Database.h"

namespace krv::server::test {

inline double lowerBoundPackages(db::Connection& c) {
    struct Need {
        double package = 0;
        int life = 0;
        std::map<int64_t, double> byDay;
    };
    std::map<std::pair<std::string, std::string>, Need> needs;
    c.each(
        "SELECT r.cdfilial, i.cdproduto, r.dtrequipedido, i.qtrequisitada, p.qtembalagem, p.nrdiasvalidade"
        " FROM requisition r JOIN requisition_item i ON i.nrrequipedido = r.nrrequipedido"
        " JOIN product p ON p.cdproduto = i.cdproduto",
        {}, [&](const db::ResultRow& row) {
            Need& need = needs[{row.text(0), row.text(1)}];
            need.package = row.real(4);
            need.life = int(row.integer(5));
            need.byDay[row.dateTime(2).seconds / 86400] += row.real(3);
        });
    double packages = 0;
    for (const auto& [key, need] : needs) {
        int64_t windowStart = -1;
        double sum = 0;
        for (const auto& [day, quantity] : need.byDay) {
            if (windowStart >= 0 && day > windowStart + need.life) {
                packages += std::ceil(sum / need.package - 1e-6);
                sum = 0;
                windowStart = -1;
            }
            if (windowStart < 0) windowStart = day;
            sum += quantity;
        }
        packages += std::ceil(sum / need.package - 1e-6);
    }
    return packages;
}

// What the orders in the database buy, in packages.
inline double packagesOrdered(db::Connection& c) {
    return double(c.integer("SELECT CAST(round(sum(i.qtpedido / p.qtembalagem) * 1000) AS BIGINT)"
                            " FROM purchase_order_item i JOIN product p ON p.cdproduto = i.cdproduto")
                      .value_or(0)) /
           1000;
}

}  // namespace krv::server::test
