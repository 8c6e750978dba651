#include "SmallCompany.h"

#include <initializer_list>
#include <vector>

namespace krv::server::test {

// A company small enough to work out by hand. Branch 0001, supplied by the logistic
// operator 0009, has service 01 (shifts 1 and 2) and service 02 (shift 1). Products:
// P1 and P2 of grouping S1, packages of 5 and 2; P3 of grouping S2, packages of 0.03.
// Recipes: dish D1 = P1 0.2 + P2 0.1 per diner, D2 = P1 0.05.
//   menu and diners   01/1 Mon D1+D2, 10 · 01/2 Mon D1, 4 · 01/1 Tue D1, 9 · 01/2 Tue none
//                     02/1 Mon D2, 8 · nothing on Wednesday
//   per capita        01: P3 0.1 · fixed per day   01: P2 4 · 02: P1 1
void smallCompany(db::Connection& c) {
    const DateTime kMon = kSmallCompanyMonday;
    const DateTime kTue = kMon.addDays(1);
    const auto run = [&](const char* sql, std::initializer_list<std::vector<db::Param>> rows) {
        for (const auto& row : rows) c.execute(sql, row);
    };
    run("INSERT INTO branch (cdfilial, nmfilial, ol, cdfiliopelog, dtproc) VALUES (?, ?, ?, ?, ?)",
        {{"0009", "Operador", "S", nullptr, kMon},
         {"0001", "Cozinha", "N", "0009", kMon},
         {"0002", "Sem operador", "N", nullptr, kMon}});
    run("INSERT INTO service (cdfilial, cdservfili, nmservico) VALUES (?, ?, ?)",
        {{"0001", "01", "Almoço"}, {"0001", "02", "Jantar"}, {"0002", "01", "Almoço"}, {"0009", "01", "Almoço"}});
    run("INSERT INTO shift (cdfilial, cdservfili, cdturno, nmturno) VALUES (?, ?, ?, ?)",
        {{"0001", "01", "1", "T1"}, {"0001", "01", "2", "T2"}, {"0001", "02", "1", "T1"}});
    c.execute("INSERT INTO product_group (cdgrupprod, nmgrupprod) VALUES ('G', 'Grupo')");
    run("INSERT INTO product_grouping (cdgrupprod, cdsubgrprod, nmsubgrprod) VALUES ('G', ?, ?)",
        {{"S1", "Secos"}, {"S2", "Descartáveis"}});
    run("INSERT INTO product (cdproduto, nmproduto, sgunidade, cdgrupprod, cdsubgrprod, qtembalagem)"
        " VALUES (?, ?, 'UN', 'G', ?, ?)",
        {{"0000000001", "P1", "S1", 5.0}, {"0000000002", "P2", "S1", 2.0}, {"0000000003", "P3", "S2", 0.03}});
    run("INSERT INTO dish_type (cdtipoprato, nmtipoprato) VALUES (?, ?)",
        {{"10", "Pratos"}, {"90", "Fixo"}, {"91", "Per capita"}});
    run("INSERT INTO dish (cdprato, nmprato, cdtipoprato) VALUES (?, ?, ?)",
        {{"D1", "D1", "10"}, {"D2", "D2", "10"}, {"9001", "Fixo", "90"}, {"9002", "Per capita", "91"}});
    run("INSERT INTO recipe (cdprato, cdproduto, qtpercapita) VALUES (?, ?, ?)",
        {{"D1", "0000000001", 0.2}, {"D1", "0000000002", 0.1}, {"D2", "0000000001", 0.05}});
    run("INSERT INTO menu (cdfilial, cdservfili, cdturno, dtcardapio, cdprato) VALUES ('0001', ?, ?, ?, ?)",
        {{"01", "1", kMon, "D1"},
         {"01", "1", kMon, "D2"},
         {"01", "2", kMon, "D1"},
         {"01", "1", kTue, "D1"},
         {"01", "2", kTue, "D1"},
         {"02", "1", kMon, "D2"}});
    run("INSERT INTO diners_forecast (cdfilial, cdservfili, cdturno, dtprevisao, nrcomensais)"
        " VALUES ('0001', ?, ?, ?, ?)",
        {{"01", "1", kMon, 10}, {"01", "2", kMon, 4}, {"01", "1", kTue, 9}, {"02", "1", kMon, 8}});
    run("INSERT INTO percapita_consumption (cdfilial, cdservfili, cdproduto, qtpercapita) VALUES ('0001', ?, ?, ?)",
        {{"01", "0000000003", 0.1}});
    run("INSERT INTO fixed_consumption (cdfilial, cdservfili, cdproduto, qtdiaria) VALUES ('0001', ?, ?, ?)",
        {{"01", "0000000002", 4.0}, {"02", "0000000001", 1.0}});
    c.execute(
        "UPDATE parameters SET cdtipopratoconsfixo = '90', cdpratoconsfixo = '9001', cdtipopratoconsper = '91',"
        " cdpratoconsper = '9002'");
}

}  // namespace krv::server::test
