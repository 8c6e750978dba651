#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <iterator>
#include <limits>
#include <thread>

#include "ServerTestSupport.h"
#include "SmallCompany.h"
#include "core/DataPacket.h"
#include "server/domain/RequisitionCalculation.h"
#include "server/objects/PedReqObject.h"

using namespace krv;
using krv::server::PedReqObject;
using krv::server::test::TestServer;
namespace test = krv::server::test;
namespace db = krv::server::db;

namespace {

using test::Args;
using test::numberIn;
using test::Texts;

const DateTime kMon = test::kSmallCompanyMonday;
const DateTime kTue = kMon.addDays(1);
const DateTime kWed = kMon.addDays(2);

std::string serviceList(const TestServer& server, const std::string& branch, const std::string& keys) {
    Args args{branch, keys, ""};
    return numberIn(server.call(PedReqObject::kName, "GetNrListaServ", args));
}

// The eleven arguments as the screen sends them, for Monday to Wednesday.
Args calculation(const std::string& services, const std::string& types, double increase = 0,
                 const std::string& rounding = "N") {
    return {"0001", kMon, kWed, increase, rounding, types, "OPER", "0009", services, "", ""};
}

// Calculates and checks what comes back: the new list in the result and in arguments 10
// and 11, the previous calculation list gone, and the counts of what was written.
std::string calculate(const TestServer& server, Args args) {
    const std::string previous = args[9].asString();
    const std::string types = args[5].asString();
    const Variant result = server.call(PedReqObject::kName, "CalculaRequisicoes", args);
    const std::string number = numberIn(result);
    EXPECT_EQ(args[9].asString(), number);
    EXPECT_EQ(args[10].asString(), "0001");
    if (!previous.empty()) {
        EXPECT_EQ(server.count("SELECT count(*) FROM server_list WHERE nrlista = " + previous), 0);
    }
    const auto list = test::listRows(server.sql(), std::stoll(number));
    std::string listed = "0";
    for (const std::string& requisition : list) listed += ", " + requisition;
    std::string letters = "''";
    for (char type : types) letters += std::string(", '") + type + "'";
    EXPECT_EQ(result.array().at(1), Variant(int64_t(list.size())));
    EXPECT_EQ(result.array().at(2),
              Variant(server.count("SELECT count(*) FROM requisition_item WHERE nrrequipedido IN (" + listed +
                                   ") AND idtipoconsumo IN (" + letters + ")")))
        << "the items of the written requisitions, of the calculated types";
    return number;
}

// Every item of branch 0001 from Monday to Wednesday: service, shift, day, grouping,
// product, type, quantity.
Texts items(const TestServer& server) {
    Args args{"0001", kMon, kWed};
    const Variant payload = server.call(PedReqObject::kName, "GetItensRequisicao", args);
    Texts out;
    if (payload.type() != Variant::Type::Packet) return {"(no packet)"};
    for (const Row& row : payload.packet().rows) {
        char quantity[32];
        std::snprintf(quantity, sizeof quantity, "%.6g", row[11].asDouble());
        out.push_back(row[1].asString() + " " + row[2].asString() + " " + row[3].asDateTime().toIso().substr(5) + " " +
                      row[5].asString() + " " + row[9].asString().substr(9) + row[10].asString() + " " + quantity);
    }
    std::sort(out.begin(), out.end());
    return out;
}

// The rows of these types ("CF"), of rows written as items() writes them.
Texts only(const Texts& rows, const std::string& types) {
    Texts kept;
    for (const std::string& row : rows)
        if (types.find(row.at(15)) != std::string::npos) kept.push_back(row);
    return kept;
}

// Worked out by hand from smallCompany(), in items() order, with no increase and no rounding.
const Texts kPlain{
    "01 1 03-02 S1 1C 2.5", "01 1 03-02 S1 2C 1",   "01 1 03-02 S1 2F 4",   "01 1 03-02 S2 3P 1",
    "01 1 03-03 S1 1C 1.8", "01 1 03-03 S1 2C 0.9", "01 1 03-03 S1 2F 4",   "01 1 03-03 S2 3P 0.9",
    "01 1 03-04 S1 2F 4",   "01 2 03-02 S1 1C 0.8", "01 2 03-02 S1 2C 0.4", "01 2 03-02 S2 3P 0.4",
    "02 1 03-02 S1 1C 0.4", "02 1 03-02 S1 1F 1",   "02 1 03-03 S1 1F 1",   "02 1 03-04 S1 1F 1",
};
// The same after 10 % more, then raised to whole packages (5, 2 and 0.03).
const Texts kIncreasedRounded{
    "01 1 03-02 S1 1C 5", "01 1 03-02 S1 2C 2", "01 1 03-02 S1 2F 6", "01 1 03-02 S2 3P 1.11",
    "01 1 03-03 S1 1C 5", "01 1 03-03 S1 2C 2", "01 1 03-03 S1 2F 6", "01 1 03-03 S2 3P 0.99",
    "01 1 03-04 S1 2F 6", "01 2 03-02 S1 1C 5", "01 2 03-02 S1 2C 2", "01 2 03-02 S2 3P 0.45",
    "02 1 03-02 S1 1C 5", "02 1 03-02 S1 1F 5", "02 1 03-03 S1 1F 5", "02 1 03-04 S1 1F 5",
};

class Calculation : public test::EngineTest {
protected:
    std::unique_ptr<TestServer> company() {
        auto server = std::make_unique<TestServer>(engine(), false);
        server->sql().write([](db::Connection& c) { test::smallCompany(c); });
        return server;
    }
};
KRV_ON_BOTH_ENGINES(Calculation);

}  // namespace

TEST_P(Calculation, EachTypeIncreaseAndRoundingAndARecalculationKeepsTheUncheckedTypes) {
    const auto server = company();
    const std::string services = serviceList(*server, "0001", "T");

    std::string list = calculate(*server, calculation(services, "CXX"));
    EXPECT_EQ(items(*server), only(kPlain, "C"));
    Args args = calculation(services, "XFX");
    args[9] = list;
    list = calculate(*server, args);
    EXPECT_EQ(items(*server), only(kPlain, "CF")) << "fixed only on shift 1, every day; raw material kept";
    calculate(*server, calculation(services, "XXP"));
    EXPECT_EQ(items(*server), kPlain);

    list = calculate(*server, calculation(services, "CFP", 10, "S"));
    EXPECT_EQ(items(*server), kIncreasedRounded);
    EXPECT_EQ(server->count("SELECT count(*) FROM requisition"), 10);
    // The list holds every requisition written, and each is the calculation's.
    EXPECT_EQ(server->count("SELECT count(*) FROM requisition WHERE cdfiliopelog = '0009' AND cdfildest = '0001'"
                            " AND cdfillanc = '0009' AND cdoperador = 'OPER'"),
              10);
    EXPECT_EQ(server->count("SELECT count(DISTINCT nrseqrequipedido) FROM requisition WHERE dtrequipedido = '" +
                            kMon.toIso() + "'"),
              5)
        << "a sequence of its own for each requisition of a day";

    // Rounding alone: between multiples goes up; on a multiple stays, also 0.9 = 30 × 0.03,
    // whose quotient a double makes 30.000000000000004.
    calculate(*server, calculation(services, "XFP", 0, "S"));
    const Texts rounded = items(*server);
    EXPECT_EQ(only(rounded, "F"), (Texts{"01 1 03-02 S1 2F 4", "01 1 03-03 S1 2F 4", "01 1 03-04 S1 2F 4",
                                         "02 1 03-02 S1 1F 5", "02 1 03-03 S1 1F 5", "02 1 03-04 S1 1F 5"}));
    EXPECT_EQ(only(rounded, "P"), (Texts{"01 1 03-02 S2 3P 1.02", "01 1 03-03 S2 3P 0.9", "01 2 03-02 S2 3P 0.42"}));
    EXPECT_EQ(only(rounded, "C"), only(kIncreasedRounded, "C"));

    // With the diners of service 01, shift 2 gone, its requisitions lose every item and go;
    // a calculation of service 02 alone leaves service 01 as it is.
    server->sql().execute("DELETE FROM diners_forecast WHERE cdservfili = '01' AND cdturno = '2'");
    calculate(*server, calculation(services, "CXP"));
    for (const std::string& row : items(*server)) EXPECT_NE(row.substr(0, 4), "01 2") << row;
    EXPECT_EQ(server->count("SELECT count(*) FROM requisition WHERE cdturno = '2'"), 0);
    const auto ofService = [](const Texts& rows, const std::string& service) {
        Texts kept;
        std::copy_if(rows.begin(), rows.end(), std::back_inserter(kept),
                     [&](const std::string& row) { return row.starts_with(service); });
        return kept;
    };
    const Texts before = items(*server);
    calculate(*server, calculation(serviceList(*server, "0001", "_000102_"), "CFP", 50, "S"));
    EXPECT_EQ(ofService(items(*server), "01"), ofService(before, "01"));
    EXPECT_EQ(ofService(items(*server), "02"),
              (Texts{"02 1 03-02 S1 1C 5", "02 1 03-02 S1 1F 5", "02 1 03-03 S1 1F 5", "02 1 03-04 S1 1F 5"}));
}

// What the calculation could not do is named in its answer, and per kitchen in the batch's:
// services with no menu in the period, shifts with a menu and no diners, shifts with diners
// and no menu (of a service with a menu in the period) and dishes with no recipe (raw
// material asked for), and services' days that get fixed consumption with no diners (fixed
// asked for), each but the first with its count.
TEST_P(Calculation, WhatTheCalculationCouldNotDoIsNamedForTheTypesAskedFor) {
    const auto server = company();
    server->sql().write([](db::Connection& c) {
        c.execute(
            "INSERT INTO diners_forecast (cdfilial, cdservfili, cdturno, dtprevisao, nrcomensais)"
            " VALUES ('0001', '02', '1', ?, 6)",
            {kTue});
        c.execute("INSERT INTO dish (cdprato, nmprato, cdtipoprato) VALUES ('D3', 'Sem receita', '10')");
        c.execute(
            "INSERT INTO menu (cdfilial, cdservfili, cdturno, dtcardapio, cdprato) VALUES ('0001', '01', '1', ?,"
            " 'D3')",
            {kTue});
    });
    const std::string services = serviceList(*server, "0001", "T");
    const std::string tue = kTue.toBr(), wed = kWed.toBr();
    const std::string shift2Tue = "01 - Almoço, turno 2, " + tue;  // a menu and no diners
    const std::string fixedWed = "01 - Almoço, " + wed + "; 02 - Jantar, " + wed;
    const std::string dinner1Tue = "02 - Jantar, turno 1, " + tue;  // diners and no menu
    const std::string noRecipe = "D3 - Sem receita";
    const std::string all = "Turnos com cardápio e sem comensais (1): " + shift2Tue +
                            ". Turnos com comensais e sem cardápio (1): " + dinner1Tue +
                            ". Pratos sem receita (1): " + noRecipe +
                            ". Dias com consumo fixo e sem comensais (2): " + fixedWed + ".";
    const struct {
        DateTime start, end;
        std::string types;
        std::string withoutMenu;
        std::string withoutDiners;
        int64_t shifts;
        std::string fixedWithoutDiners;
        int64_t days;
        std::string dinersWithoutMenu;
        std::string withoutRecipe;
        std::string batch;  // the batch's other warnings
    } cases[] = {
        {kMon, kMon, "CFP", "", "", 0, "", 0, "", "", ""},
        {kMon, kWed, "CFP", "", shift2Tue, 1, fixedWed, 2, dinner1Tue, noRecipe, all},
        // Service 02 has a menu on Monday only: its diners on Tuesday are named with the service.
        {kTue, kWed, "CFP", "02 - Jantar", shift2Tue, 1, fixedWed, 2, "", noRecipe,
         "Turnos com cardápio e sem comensais (1): " + shift2Tue + ". Pratos sem receita (1): " + noRecipe +
             ". Dias com consumo fixo e sem comensais (2): " + fixedWed + "."},
        {kWed, kWed, "CXX", "01 - Almoço, 02 - Jantar", "", 0, "", 0, "", "", ""},
        // No raw material asked for: nothing it needs is missing.
        {kMon, kWed, "XFP", "", "", 0, fixedWed, 2, "", "",
         "Dias com consumo fixo e sem comensais (2): " + fixedWed + "."},
        {kMon, kWed, "CXP", "", shift2Tue, 1, "", 0, dinner1Tue, noRecipe,
         "Turnos com cardápio e sem comensais (1): " + shift2Tue + ". Turnos com comensais e sem cardápio (1): " +
             dinner1Tue + ". Pratos sem receita (1): " + noRecipe + "."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.start.toBr() + " " + c.end.toBr() + " " + c.types);
        Args args = calculation(services, c.types);
        args[1] = c.start;
        args[2] = c.end;
        const Variant result = server->call(PedReqObject::kName, "CalculaRequisicoes", args);
        EXPECT_EQ(result.array().at(3), Variant(c.withoutMenu));
        EXPECT_EQ(result.array().at(4), Variant(c.withoutDiners));
        EXPECT_EQ(result.array().at(5), Variant(c.shifts));
        EXPECT_EQ(result.array().at(6), Variant(c.fixedWithoutDiners));
        EXPECT_EQ(result.array().at(7), Variant(c.days));
        EXPECT_EQ(result.array().at(8), Variant(c.dinersWithoutMenu));
        EXPECT_EQ(result.array().at(9), Variant(int64_t(!c.dinersWithoutMenu.empty())));
        EXPECT_EQ(result.array().at(10), Variant(c.withoutRecipe));
        EXPECT_EQ(result.array().at(11), Variant(int64_t(!c.withoutRecipe.empty())));

        Args batch{"0009", c.start, c.end, 0.0, "N", c.types, "OPER", "0001"};
        const DataPacket kitchen = server->call(PedReqObject::kName, "CalculaRequisicoesFiliais", batch).packet();
        ASSERT_EQ(kitchen.rows.size(), 1u);
        const Row& row = kitchen.rows[0];
        EXPECT_EQ(row[size_t(kitchen.fieldIndex("DSSEMCARDAPIO"))], Variant(c.withoutMenu));
        EXPECT_EQ(row[size_t(kitchen.fieldIndex("DSAVISOS"))], Variant(c.batch));
        EXPECT_EQ(row[size_t(kitchen.fieldIndex("DSSITUACAO"))],
                  Variant(c.withoutMenu.empty() && c.batch.empty() ? "calculada" : "calculada, com avisos"));
    }
}

TEST(CalculationWarnings, TheFirstFiveAreNamedThenHowManyMore) {
    const std::vector<std::pair<size_t, std::string>> cases = {
        {0, ""}, {1, "a"}, {5, "a; b; c; d; e"}, {6, "a; b; c; d; e e mais 1"}, {1007, "a; b; c; d; e e mais 1.002"}};
    for (const auto& [size, text] : cases) {
        std::vector<std::string> names(size, "x");
        for (size_t i = 0; i < size && i < 5; ++i) names[i] = std::string(1, char('a' + i));
        EXPECT_EQ(server::firstFew(names), text);
    }
}

TEST_P(Calculation, AnOrderedRequisitionInTheScopeRefusesTheRecalculationAndChangesNothing) {
    const auto server = company();
    const std::string services = serviceList(*server, "0001", "T");
    calculate(*server, calculation(services, "CFP"));
    server->sql().write([](db::Connection& c) {
        c.execute(
            "INSERT INTO purchase_order (nrpedexol, cdfiliopelog, cdfilial, cdservfili, cdturno, dtpedido,"
            " cdoperador, dtlancamento) VALUES (7, '0009', '0001', '02', '1', ?, 'OPER', ?)",
            {kWed, db::Timestamp{kWed}});
        c.execute("UPDATE requisition SET nrpedexol = 7 WHERE cdservfili = '02' AND dtrequipedido = ?", {kWed});
    });
    const std::string before = server->content(test::allTables());
    EXPECT_EQ(server->failure(PedReqObject::kName, "CalculaRequisicoes", calculation(services, "XFX", 5)),
              "ERR_JA_EXISTE_PED");
    EXPECT_EQ(server->content(test::allTables()), before);

    // Outside the ordered one's service the calculation goes on.
    calculate(*server, calculation(serviceList(*server, "0001", "_000101_"), "XFX", 100));
    EXPECT_EQ(only(items(*server), "F").front(), "01 1 03-02 S1 2F 8");
}

TEST_P(Calculation, AMissingDefaultRefusesOnlyTheTypesThatNeedIt) {
    const auto server = company();
    const std::string services = serviceList(*server, "0001", "T");
    struct Case {
        const char* column;
        std::string types;
        std::string refusal;  // empty: calculates
    };
    const std::vector<Case> cases{
        {"cdtipopratoconsfixo", "XFX", "TP_CONSFIXO"},
        {"cdtipopratoconsfixo", "CXP", ""},
        {"cdpratoconsfixo", "CFP", "PRATO_CONSFIXO"},
        {"cdtipopratoconsper", "XXP", "TP_CONSPER"},
        {"cdtipopratoconsper", "CFX", ""},
        {"cdpratoconsper", "CFP", "PRATO_CONSPER"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.column) + " " + c.types);
        server->sql().execute(
            "UPDATE parameters SET cdtipopratoconsfixo = '90', cdpratoconsfixo = '9001', cdtipopratoconsper = '91',"
            " cdpratoconsper = '9002'");
        server->sql().execute(std::string("UPDATE parameters SET ") + c.column + " = NULL");
        const std::string before = server->content(test::allTables());
        if (c.refusal.empty()) {
            calculate(*server, calculation(services, c.types));
        } else {
            EXPECT_EQ(server->failure(PedReqObject::kName, "CalculaRequisicoes", calculation(services, c.types)),
                      c.refusal);
            EXPECT_EQ(server->content(test::allTables()), before);
        }
    }
    // Both fixed defaults missing: the type is named first.
    server->sql().execute("UPDATE parameters SET cdtipopratoconsfixo = NULL, cdpratoconsfixo = NULL");
    EXPECT_EQ(server->failure(PedReqObject::kName, "CalculaRequisicoes", calculation(services, "CFP")), "TP_CONSFIXO");
}

TEST_P(Calculation, HostileArgumentsAreRefusedWithAClearTextAndChangeNothing) {
    const auto server = company();
    const std::string services = serviceList(*server, "0001", "T");
    const std::string shifts = [&] {
        Args args{services, "", "T"};
        return numberIn(server->call(PedReqObject::kName, "GetNrListaTurno", args));
    }();
    const std::string otherBranch = serviceList(*server, "0002", "T");
    const std::string before = server->content(test::allTables());
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();

    struct Case {
        size_t argument;
        Variant value;
        std::string message;
    };
    const std::string increase = "Acréscimo deve ser um número de 0 a 1000.";
    const std::string types =
        "Tipos de consumo deve ter três letras, C ou X, F ou X, P ou X, com ao menos um tipo marcado.";
    const std::vector<Case> cases{
        {0, "0003", "Filial 0003 não cadastrada."},
        {0, "0001'; DELETE FROM requisition; --", "Código da filial deve conter apenas letras e números."},
        {0, "00011", "Código da filial deve ter no máximo 4 caracteres."},
        {0, int64_t(1), "Código da filial deve ser um texto."},
        {0, "0009", "A filial 0009 é um operador logístico: dela só se calcula a previsão de consumo."},
        {0, "0002", "A filial 0002 não tem operador logístico que a abasteça."},
        {1, "2026-03-02", "Data inicial deve ser uma data."},
        {2, kMon.addDays(-1), "Data inicial deve ser menor ou igual a data final."},
        {2, kMon.addDays(366), "O período deve ter no máximo 366 dias."},
        {3, -0.001, increase},
        {3, 1000.001, increase},
        {3, int64_t(1001), increase},
        {3, nan, increase},
        {3, inf, increase},
        {3, "10", increase},
        {4, "s", "Arredondamento deve ser \"S\" ou \"N\"."},
        {4, "", "Arredondamento deve ser informado."},
        {5, "XXX", types},
        {5, "cfp", types},
        {5, "PFC", types},
        {5, "CF", types},
        {5, "CFPX", "Tipos de consumo deve ter no máximo 3 caracteres."},
        {6, "", "Operador deve ser informado."},
        {7, "0003", "Filial corrente 0003 não cadastrada."},
        {8, "", "Número da lista de serviços deve ser informado."},
        {8, "999999", "Lista de serviços 999999 não encontrada."},
        {8, shifts, "A lista " + shifts + " não é uma lista de serviços."},
        {8, otherBranch, "A lista de serviços " + otherBranch + " não é da filial 0001."},
        {9, services, "Número da lista do cálculo anterior: a lista " + services + " não é uma lista de cálculo."},
        {10, "00/1", "Código da filial do cálculo anterior deve conter apenas letras e números."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("argument " + std::to_string(c.argument + 1) + ": " + c.value.asString());
        Args args = calculation(services, "CFP");
        args[c.argument] = c.value;
        EXPECT_EQ(server->failure(PedReqObject::kName, "CalculaRequisicoes", args), c.message);
    }
    EXPECT_EQ(server->content(test::allTables()), before);

    // The limits themselves are fine: 366 days, an increase of 1000 sent as an integer.
    Args widest = calculation(services, "CFP", 0, "S");
    widest[2] = kMon.addDays(365);
    widest[3] = int64_t(1000);
    calculate(*server, widest);
    EXPECT_EQ(only(items(*server), "F").front(), "01 1 03-02 S1 2F 44");
}

TEST_P(Calculation, OperatorsCalculatingTheSameScopeAtOnceLeaveOneWholeResult) {
    const auto server = company();
    const std::string services = serviceList(*server, "0001", "T");
    // Half of them with an increase: a mix of two results would show it.
    std::vector<std::thread> operators;
    std::atomic<int> done = 0;
    for (int i = 0; i < 4; ++i)
        operators.emplace_back([&, i] {
            for (int round = 0; round < 3; ++round) {
                const rpc::Outcome outcome = server->dispatch(PedReqObject::kName, "CalculaRequisicoes",
                                                              calculation(services, "CFP", i % 2 ? 0 : 10, "S"));
                // Failing cleanly is allowed when the retries run out; a wrong answer is not.
                if (outcome.ok && outcome.result.array().at(0).asBool()) ++done;
            }
        });
    for (std::thread& t : operators) t.join();
    EXPECT_GT(done, 0);
    EXPECT_EQ(server->count("SELECT count(*) FROM requisition"), 10) << "no requisition twice";
    const Texts result = items(*server);
    const Texts plainRounded = [&] {
        calculate(*server, calculation(services, "CFP", 0, "S"));
        return items(*server);
    }();
    EXPECT_TRUE(result == kIncreasedRounded || result == plainRounded);
    EXPECT_EQ(server->count("SELECT count(*) FROM server_list WHERE tplista = 'calculation'"), done + 1);
}
