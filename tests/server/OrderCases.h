#pragma once
// The order generation's test world: the requisition list as the order screen loads,
// marks and sends it, the generation's arguments, and a hand-made case whose orders are
// known; shared by the tests of the generation, its preview and the cancellation of orders.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "RequisitionSeed.h"
#include "ServerTestSupport.h"
#include "core/DataPacket.h"
#include "server/domain/OrderGeneration.h"
#include "server/objects/PedReqObject.h"

namespace krv::server::test::orders {

using Args = std::vector<Variant>;
using Texts = std::vector<std::string>;

const DateTime kDay1 = test::seedDate();
const DateTime kDay2 = kDay1.addDays(1);
const std::string kOperator = test::kTestOperator;

inline Variant call(const TestServer& server, const std::string& method, Args args) {
    return server.call(PedReqObject::kName, method, args);
}

inline std::string refusal(const TestServer& server, const std::string& method, Args args) {
    return server.failure(PedReqObject::kName, method, std::move(args));
}

inline std::string numberIn(const Variant& payload) {
    return payload.type() == Variant::Type::Array ? payload.array().at(0).asString() : "(no number)";
}

// The shift list of the requisition screen: `keys` of branch 0001's shifts, or "T".
inline std::string shiftList(const TestServer& server, const std::string& keys = "T") {
    const std::string services = numberIn(call(server, "GetNrListaServ", {"0001", "T", ""}));
    return numberIn(call(server, "GetNrListaTurno", {services, "", keys}));
}

inline DataPacket listed(const TestServer& server, const std::string& branches, const std::string& shifts,
                  const std::string& groupings = "T", DateTime start = kDay1, DateTime end = kDay2) {
    Args args{branches, start, end, shifts, groupings};
    const Variant payload = server.call(PedReqObject::kName, "getRequisicoes", args);
    EXPECT_EQ(args, (Args{branches, start, end, shifts, groupings})) << "by-reference arguments are left as sent";
    return payload.type() == Variant::Type::Packet ? payload.packet() : DataPacket{};
}

// The list packet with the rows of these requisitions marked, as the order screen sends it.
inline DataPacket marking(DataPacket list, const std::set<int64_t>& numbers) {
    for (Row& row : list.rows) row[0] = Variant(numbers.count(int64_t(row[1].asDouble())) ? "S" : "N");
    return list;
}

inline std::string requisitionList(const TestServer& server, const DataPacket& packet, const std::string& current = "") {
    Args args{Variant(packet), current};
    const std::string number = numberIn(server.call(PedReqObject::kName, "GetNrListaRequiPedido", args));
    EXPECT_EQ(args.at(1), Variant(number)) << "the new number is written back";
    return number;
}

// "Host.rdmRelatorio".GetDados's arguments for the requisition report of branch 0001's two days.
inline Args requisitionReport(const std::string& services, const std::string& shifts) {
    Variant::Array params;
    for (const auto& [name, value] : std::vector<std::pair<std::string, Variant>>{{"P_CDFILIAL", "0001"},
                                                                                  {"P_DATAINI", kDay1},
                                                                                  {"P_DATAFIN", kDay2},
                                                                                  {"P_NRLISTASERV", services},
                                                                                  {"P_NRLISTATURNO", shifts},
                                                                                  {"P_TAMNIV", 10},
                                                                                  {"P_ORDENA", "C"},
                                                                                  {"P_IDIMPRIMECARD", "N"},
                                                                                  {"P_IDQUEBRAPAGINA", "S"},
                                                                                  {"P_NRLINHABRANCA", 2},
                                                                                  {"P_LISTAGRUPPROD", "T"}})
        params.push_back(Variant(Variant::Array{name, value}));
    return {"KRV520", Variant(std::move(params))};
}

inline Args generation(const std::string& list, const std::string& perShift = "S", const std::string& branch = "",
                const std::string& service = "") {
    return {"0001", kDay1, kDay2, list, perShift, kOperator, "0002", branch, service};
}

inline std::set<int64_t> listedNumbers(const TestServer& server, const std::string& list) {
    std::set<int64_t> numbers;
    server.sql().each("SELECT nrrequipedido FROM requisition_list_item WHERE nrlista = ?", {int64_t(std::stoll(list))},
                      [&](const db::ResultRow& row) { numbers.insert(row.integer(0)); });
    return numbers;
}

inline std::string firstProduct(const TestServer& server, const char* grouping) {
    return *server.sql().text("SELECT min(cdproduto) FROM product WHERE cdsubgrprod = ?", {grouping});
}

// Every order as one text: supplier, day, branch, service, shift ("-": none), the names of
// the requisitions that point at it and its items; independent of the numbers given.
inline Texts ordersOf(const TestServer& server, const std::map<int64_t, std::string>& names,
               const std::map<std::string, std::string>& productNames) {
    std::map<int64_t, std::string> head, members, items;
    server.sql().each("SELECT nrpedexol, cdfiliopelog, dtpedido, cdfilial, cdservfili, cdturno FROM purchase_order", {},
                      [&](const db::ResultRow& r) {
                          head[r.integer(0)] = r.text(1) + " " + r.dateTime(2).toBr() + " " + r.text(3) + " " +
                                               r.text(4) + " " + (r.isNull(5) ? "-" : r.text(5));
                      });
    server.sql().each(
        "SELECT nrpedexol, nrrequipedido FROM requisition WHERE nrpedexol IS NOT NULL"
        " ORDER BY nrrequipedido",
        {}, [&](const db::ResultRow& r) {
            const auto name = names.find(r.integer(1));
            members[r.integer(0)] += " " + (name == names.end() ? "?" : name->second);
        });
    server.sql().each("SELECT nrpedexol, cdproduto, qtpedido FROM purchase_order_item ORDER BY cdproduto", {},
                      [&](const db::ResultRow& r) {
                          items[r.integer(0)] += " " + productNames.at(r.text(1)) + "=" + Variant(r.real(2)).asString();
                      });
    Texts orders;
    for (const auto& [number, text] : head) orders.push_back(text + " |" + members[number] + " |" + items[number]);
    std::sort(orders.begin(), orders.end());
    return orders;
}

// What must hold whatever happened: every active order has requisitions, none points at a
// cancelled one, and its items are the
// sums of theirs; no requisition points at a missing order.
inline void expectConsistent(db::Connection& c) {
    EXPECT_EQ(c.integer("SELECT count(*) FROM purchase_order o"
                        " WHERE NOT EXISTS (SELECT 1 FROM requisition r WHERE r.nrpedexol = o.nrpedexol)"
                        " AND NOT EXISTS (SELECT 1 FROM purchase_order_cancellation x WHERE x.nrpedexol = o.nrpedexol)"),
              0)
        << "an active order without requisitions";
    EXPECT_EQ(c.integer("SELECT count(*) FROM requisition r"
                        " JOIN purchase_order_cancellation x ON x.nrpedexol = r.nrpedexol"),
              0)
        << "a requisition pointing at a cancelled order";
    EXPECT_EQ(c.integer("SELECT count(*) FROM requisition r WHERE r.nrpedexol IS NOT NULL"
                        " AND NOT EXISTS (SELECT 1 FROM purchase_order o WHERE o.nrpedexol = r.nrpedexol)"),
              0)
        << "a requisition pointing at a missing order";
    EXPECT_EQ(c.integer("SELECT count(*) FROM (SELECT r.nrpedexol, i.cdproduto, sum(i.qtrequisitada) AS q"
                        " FROM requisition r JOIN requisition_item i ON i.nrrequipedido = r.nrrequipedido"
                        " WHERE r.nrpedexol IS NOT NULL GROUP BY r.nrpedexol, i.cdproduto) s"
                        " LEFT JOIN purchase_order_item oi ON oi.nrpedexol = s.nrpedexol AND oi.cdproduto = s.cdproduto"
                        " WHERE oi.qtnecessaria IS NULL OR abs(oi.qtnecessaria - s.q) > 0.000001"),
              0)
        << "an order's items need other than its requisitions'";
    EXPECT_EQ(c.integer("SELECT count(*) FROM purchase_order_item oi WHERE NOT EXISTS (SELECT 1 FROM requisition r"
                        " JOIN requisition_item i ON i.nrrequipedido = r.nrrequipedido"
                        " WHERE r.nrpedexol = oi.nrpedexol AND i.cdproduto = oi.cdproduto)"
                        " AND NOT EXISTS (SELECT 1 FROM purchase_order_cancellation x WHERE x.nrpedexol = oi.nrpedexol)"),
              0)
        << "an active order's item no requisition asked for";
}

// Undoes the generations that gave numbers above `after`.
inline void reopen(db::Connection& c, int64_t after) {
    c.write([&](db::Connection& w) {
        w.execute("UPDATE requisition SET nrpedexol = NULL WHERE nrpedexol > ?", {after});
        w.execute("DELETE FROM purchase_order WHERE nrpedexol > ?", {after});
    });
}

// Six open requisitions built to tell every grouping apart, one already ordered, and the
// names the expectations use for them.
struct HandCase {
    explicit HandCase(const TestServer& s) : server(s) {
        const std::string meat = firstProduct(server, "0101"), veg = firstProduct(server, "0102"),
                          grain = firstProduct(server, "0201");
        const std::string milk = *server.sql().text("SELECT max(cdproduto) FROM product WHERE cdsubgrprod = '0101'");
        productNames = {{meat, "carne"}, {milk, "carne2"}, {veg, "verdura"}, {grain, "grao"}};
        const auto add = [&](const char* name, NewRequisition r) { names[addRequisition(server.sql(), r)] = name; };
        add("R1",
            {"0001", "0004", "1", kDay1, "01", "0101", "0007", {{meat, "C", 10}, {meat, "F", 2}, {milk, "P", 3}}});
        add("R2", {"0001", "0004", "2", kDay1, "01", "0101", "0007", {{meat, "C", 5}}});
        add("R3", {"0001", "0002", "1", kDay1, "01", "0102", "0007", {{veg, "C", 1}}});
        add("R4", {"0002", "0004", "1", kDay1, "01", "0101", "0007", {{meat, "C", 7}}});
        add("R5", {"0001", "0004", "1", kDay2, "01", "0101", "0007", {{milk, "C", 4}}});
        add("R6", {"0001", "0004", "1", kDay1, "01", "0102", "0006", {{veg, "C", 2}}});
        server.sql().execute(
            "INSERT INTO purchase_order (nrpedexol, cdfiliopelog, cdfilial, cdservfili, dtpedido, cdoperador,"
            " dtlancamento) VALUES (500, '0007', '0001', '0004', ?, ?, ?)",
            {kDay1, kOperator, db::Timestamp{kDay1}});
        server.sql().execute("INSERT INTO purchase_order_item (nrpedexol, cdproduto, qtnecessaria, qtpedido) VALUES (500, ?, 9, 9)",
                             {grain});
        NewRequisition ordered{"0001", "0004", "1", kDay1, "02", "0201", "0007", {{grain, "C", 9}}};
        const int64_t r7 = addRequisition(server.sql(), ordered);
        server.sql().execute("UPDATE requisition SET nrpedexol = 500 WHERE nrrequipedido = ?", {r7});
        names[r7] = "R7";
    }
    std::set<int64_t> all() const {
        std::set<int64_t> numbers;
        for (const auto& [number, name] : names) numbers.insert(number);
        return numbers;
    }
    Texts orders() const { return ordersOf(server, names, productNames); }

    const TestServer& server;
    std::map<int64_t, std::string> names;
    std::map<std::string, std::string> productNames;
};

const std::string kOld = "0007 15/03/2026 0001 0004 - | R7 | grao=9";

}  // namespace krv::server::test::orders
