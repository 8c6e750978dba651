#include <gtest/gtest.h>

#include <cmath>
#include <iomanip>
#include <map>
#include <set>
#include <sstream>
#include <tuple>

#include "ServerTestSupport.h"
#include "core/DataPacket.h"
#include "core/NumberText.h"
#include "server/domain/Explanation.h"
#include "server/objects/PedReqObject.h"

using namespace krv;
using krv::server::PedReqObject;
using krv::server::test::TestServer;
namespace test = krv::server::test;

namespace {

using Args = std::vector<Variant>;

// The demo company's week after the seed date, Monday to Sunday.
const DateTime kMon = test::seedDate().addDays(1);
const DateTime kSun = kMon.addDays(6);

bool close(double a, double b) { return std::fabs(a - b) <= 1e-9 * std::max(1.0, std::fabs(b)); }

// A quantity as stored: no digit past the stored decimals, so no floating-point noise.
void expectStoredPrecision(double quantity) { EXPECT_EQ(roundedQuantity(quantity), quantity) << quantity; }

// Requisition items of branch 0001 in the week: (number, product, type) → stored quantity.
std::map<std::tuple<int64_t, std::string, std::string>, double> storedItems(const TestServer& server) {
    Args args{"0001", kMon, kSun};
    std::map<std::tuple<int64_t, std::string, std::string>, double> items;
    const Variant payload = server.call(PedReqObject::kName, "GetItensRequisicao", args);
    for (const Row& row : payload.packet().rows) {
        items[{row[0].asInt(), row[9].asString(), row[10].asString()}] = row[11].asDouble();
        expectStoredPrecision(row[11].asDouble());
    }
    return items;
}

void calculateWeek(const TestServer& server, double increase, const std::string& rounding) {
    Args list{"0001", "T", ""};
    const std::string services = server.call(PedReqObject::kName, "GetNrListaServ", list).array()[0].asString();
    Args args{"0001", kMon, kSun, increase, rounding, "CFP", "OPER", "0001", services, "", ""};
    server.call(PedReqObject::kName, "CalculaRequisicoes", args);
}

// Checks that every consumption type of an explanation adds up exactly, as the decimals a
// person adds by hand, to its TOTAL row and returns the totals per type, and which kinds of
// rows it held.
std::map<std::string, double> totals(const DataPacket& explanation, std::set<std::string>& kinds) {
    std::map<std::string, double> sums, totals;
    for (const Row& row : explanation.rows) {
        const std::string type = row[0].asString(), kind = row[1].asString();
        kinds.insert(kind);
        expectStoredPrecision(row[6].asDouble());
        if (kind == "TOTAL") {
            EXPECT_EQ(roundedQuantity(sums[type]), row[6].asDouble())
                << type << ": " << sums[type] << " ≠ " << row[6].asDouble();
            totals[type] = row[6].asDouble();
        } else {
            sums[type] += row[6].asDouble();
        }
    }
    return totals;
}

DataPacket explainItem(const TestServer& server, int64_t requisition, const std::string& product) {
    Args args{requisition, product};
    return server.call(PedReqObject::kName, "ExplicaItemRequisicao", args).packet();
}

class Explanation : public test::EngineTest {};
KRV_ON_BOTH_ENGINES(Explanation);

}  // namespace

TEST_P(Explanation, EveryItemOfACalculatedWeekAddsUpToItsStoredQuantity) {
    TestServer server(engine());
    for (const auto& [increase, rounding] : {std::pair{10.5, "S"}, std::pair{0.0, "N"}}) {
        SCOPED_TRACE(rounding);
        calculateWeek(server, increase, rounding);
        const auto stored = storedItems(server);
        ASSERT_GT(stored.size(), 100u);
        std::set<std::string> kinds;
        std::set<std::pair<int64_t, std::string>> explained;
        for (const auto& [key, quantity] : stored) {
            const auto& [requisition, product, type] = key;
            if (!explained.insert({requisition, product}).second) continue;
            for (const auto& [t, total] : totals(explainItem(server, requisition, product), kinds))
                EXPECT_TRUE(close(total, stored.at({requisition, product, t}))) << requisition << " " << product;
        }
        EXPECT_FALSE(kinds.count("DIFERENCA"));
        // The products of the first requisition, per type, are its items.
        const int64_t first = std::get<0>(stored.begin()->first);
        Args args{first};
        const Variant products = server.call(PedReqObject::kName, "GetProdutosRequisicao", args);
        ASSERT_FALSE(products.packet().rows.empty());
        for (const Row& row : products.packet().rows) {
            double total = 0;
            for (const auto& [column, type] : {std::pair{3, "C"}, std::pair{4, "F"}, std::pair{5, "P"}}) {
                const auto item = stored.find({first, row[0].asString(), type});
                EXPECT_EQ(row[column].isNull(), item == stored.end()) << row[0].asString() << type;
                if (item == stored.end()) continue;
                total += item->second;
                EXPECT_TRUE(close(row[column].asDouble(), item->second));
            }
            EXPECT_EQ(row[6].asDouble(), roundedQuantity(total));
        }
        for (const char* kind : {"PRATO", "PERCAPITA", "FIXO", "TOTAL"}) EXPECT_TRUE(kinds.count(kind)) << kind;
        EXPECT_EQ(kinds.count("ACRESCIMO") + kinds.count("ARREDONDA"), rounding == std::string("S") ? 2u : 0u);
    }
}

TEST_P(Explanation, EveryForecastRowAddsUpAndAChangedMenuIsADifference) {
    TestServer server(engine());
    const auto exists = [&](DateTime start, DateTime end) {
        Args args{"0007", start, end};
        return server.call(PedReqObject::kName, "ExistePrevisaoConsumo", args);
    };
    EXPECT_EQ(exists(kMon, kSun), Variant(false));
    Args forecast{"0007", kMon, kMon.addDays(1), "OPER"};
    server.call(PedReqObject::kName, "CalculaPrevisaoConsumo", forecast);
    EXPECT_EQ(exists(kMon.addDays(1), kSun), Variant(true)) << "its last day";
    EXPECT_EQ(exists(kMon.addDays(2), kSun), Variant(false)) << "one day past it";
    forecast.pop_back();
    const DataPacket rows = server.call(PedReqObject::kName, "GetPrevisaoConsumo", forecast).packet();
    ASSERT_GT(rows.rows.size(), 100u);
    std::set<std::string> kinds;
    for (const Row& row : rows.rows) {
        Args args{"0007", row[0], row[2], row[4], row[5]};
        const auto sums = totals(server.call(PedReqObject::kName, "ExplicaItemPrevisao", args).packet(), kinds);
        EXPECT_EQ(sums.at(""), row[8].asDouble()) << row[0].asString() << row[5].asString();
    }
    EXPECT_FALSE(kinds.count("DIFERENCA") || kinds.count("ACRESCIMO") || kinds.count("ARREDONDA"));

    // Twice the recipe quantity of a dish's product after the calculation: both answers
    // tell the difference instead of today's make-up.
    calculateWeek(server, 0, "N");
    const auto stored = storedItems(server);
    const auto raw =
        std::find_if(stored.begin(), stored.end(), [](const auto& item) { return std::get<2>(item.first) == "C"; });
    ASSERT_NE(raw, stored.end());
    const auto& [requisition, product, type] = raw->first;
    const DataPacket before = explainItem(server, requisition, product);
    server.sql().execute("UPDATE recipe SET qtpercapita = qtpercapita * 2 WHERE cdproduto = ?", {product});
    const DataPacket after = explainItem(server, requisition, product);
    double dishes = 0;
    for (const Row& row : before.rows)
        if (row[1].asString() == "PRATO") dishes += row[6].asDouble();
    const auto difference = std::find_if(after.rows.begin(), after.rows.end(), [](const Row& row) {
        return row[0].asString() == "C" && row[1].asString() == "DIFERENCA";
    });
    ASSERT_NE(difference, after.rows.end());
    EXPECT_TRUE(close((*difference)[6].asDouble(), dishes)) << "today's dishes give twice, the stored once";
    for (const Row& row : after.rows) EXPECT_NE(row[1].asString(), "PRATO") << "no invented make-up";
    EXPECT_EQ(after.rows.back()[1].asString(), "TOTAL");
    EXPECT_DOUBLE_EQ(after.rows.back()[6].asDouble(), before.rows.back()[6].asDouble());
}

TEST_P(Explanation, BadInputIsRefusedByNameAndChangesNothing) {
    TestServer server(engine());
    calculateWeek(server, 0, "N");
    const auto stored = storedItems(server);
    const int64_t requisition = std::get<0>(stored.begin()->first);
    const std::string onIt = std::get<1>(stored.begin()->first);
    std::string offIt;
    for (const auto& [key, q] : stored)
        if (std::get<0>(key) != requisition && !stored.count({requisition, std::get<1>(key), "C"}) &&
            !stored.count({requisition, std::get<1>(key), "F"}) && !stored.count({requisition, std::get<1>(key), "P"}))
            offIt = std::get<1>(key);
    const std::string content = server.content(test::allTables());
    const std::string n = std::to_string(requisition);
    const std::vector<std::tuple<const char*, Args, std::string>> cases{
        {"ExplicaItemRequisicao", {Variant(n), onIt}, "Número da requisição deve ser um número inteiro."},
        {"ExplicaItemRequisicao", {1.5, onIt}, "Número da requisição deve ser um número inteiro."},
        {"ExplicaItemRequisicao", {int64_t(0), onIt}, "Número da requisição deve estar entre 1 e 9223372036854775807."},
        {"ExplicaItemRequisicao", {int64_t(99999999), onIt}, "Requisição 99999999 não cadastrada."},
        {"ExplicaItemRequisicao", {requisition, "12345678901"}, "Código do produto deve ter no máximo 10 caracteres."},
        {"ExplicaItemRequisicao", {requisition, int64_t(1)}, "Código do produto deve ser um texto."},
        {"ExplicaItemRequisicao", {requisition, "9999999999"}, "Produto 9999999999 não cadastrado."},
        {"ExplicaItemRequisicao", {requisition, offIt}, "O produto " + offIt + " não está na requisição " + n + "."},
        {"GetProdutosRequisicao", {int64_t(99999999)}, "Requisição 99999999 não cadastrada."},
        {"GetProdutosRequisicao", {Variant()}, "Número da requisição deve ser um número inteiro."},
        {"ExistePrevisaoConsumo", {"0007", kSun, kMon}, "Data inicial deve ser menor ou igual a data final."},
        {"ExplicaItemPrevisao",
         {"0001", "0001", "0001", kMon, onIt},
         "A filial 0001 não é um operador logístico: a previsão de consumo só se calcula para operadores logísticos."},
        {"ExplicaItemPrevisao", {"0007", "0001", "0001", kMon.toIso(), onIt}, "Data da previsão deve ser uma data."},
        {"ExplicaItemPrevisao",
         {"0007", "0001", "0-1", kMon, onIt},
         "Código do serviço deve conter apenas letras e números."},
        {"ExplicaItemPrevisao", {"0007", "0001", "99", kMon, onIt}, "Serviço 99 não cadastrado na filial 0001."},
        {"ExplicaItemPrevisao",
         {"0007", "0001", "0001", kMon, onIt},
         "A previsão do operador logístico 0007 não tem o produto " + onIt + " para a filial 0001, serviço 0001, em " +
             kMon.toBr() + "."},
    };
    for (const auto& [method, args, message] : cases)
        EXPECT_EQ(server.failure(PedReqObject::kName, method, args), message);
    EXPECT_EQ(server.content(test::allTables()), content);
}

TEST_P(Explanation, AnItemCalculatedBeforeItsIncreaseWasKeptSaysSoInsteadOfAMakeUp) {
    TestServer server(engine());
    calculateWeek(server, 10.5, "S");
    const auto stored = storedItems(server);  // kept: the names below refer into it
    const auto& [requisition, product, type] = stored.begin()->first;
    server.sql().execute(
        "UPDATE requisition_item SET pcacrescimo = NULL, qtembalagem = NULL WHERE nrrequipedido = ? AND cdproduto = ?",
        {requisition, product});
    const DataPacket explanation = explainItem(server, requisition, product);
    ASSERT_EQ(explanation.rows.size(), 2u);
    EXPECT_EQ(explanation.rows[0][1].asString(), "DIFERENCA");
    EXPECT_NE(explanation.rows[0][3].asString().find("calculado antes de se guardarem o acréscimo"), std::string::npos)
        << explanation.rows[0][3].asString();
    EXPECT_EQ(explanation.rows[1][1].asString(), "TOTAL");
}

namespace {

struct Lines {
    std::string name;
    server::StoredQuantity stored;
    std::vector<server::MakeUpPart> parts;
    std::vector<std::string> expected;  // "TPLINHA DSLINHA QTLINHA" of each row
};

server::MakeUpPart dish(double diners, double perDiner) {
    return {"C", "1", "0007 - Cuscuz com ovo", int64_t(diners), perDiner, diners * perDiner};
}

}  // namespace

// Each line is a decimal of the stored precision, and the lines add up to the stored
// quantity exactly: the rounding of parts one by one shows as a line of its own, and a
// millionth either way of today's recomputation is no difference.
TEST(ExplanationLines, AddUpToTheStoredQuantityInStoredDecimals) {
    const std::vector<Lines> cases = {
        {"increase and packages",
         {"C", 660, 10.5, 30.0},
         {dish(571, 1)},
         {"PRATO 0007 - Cuscuz com ovo 571", "ACRESCIMO Acréscimo de 10,5% 59.955",
          "ARREDONDA Arredondamento em embalagens de 30: de 630,955 para 660 29.045",
          "TOTAL Quantidade armazenada 660"}},
        {"parts that round to nothing one by one",
         {"C", 0.000001, 0.0, std::nullopt},
         {dish(1, 0.0000004), dish(1, 0.0000004), dish(1, 0.0000004)},
         {"PRATO 0007 - Cuscuz com ovo 0", "PRATO 0007 - Cuscuz com ovo 0", "PRATO 0007 - Cuscuz com ovo 0",
          "ARREDONDA Arredondamento a 6 casas decimais: de 0 para 0,000001 1e-06",
          "TOTAL Quantidade armazenada 1e-06"}},
        {"a millionth off",
         {"C", 2.000001, 0.0, std::nullopt},
         {dish(10, 0.2)},
         {"PRATO 0007 - Cuscuz com ovo 2", "ARREDONDA Arredondamento a 6 casas decimais: de 2 para 2,000001 1e-06",
          "TOTAL Quantidade armazenada 2.000001"}},
        {"two millionths off",
         {"C", 2.000002, 0.0, std::nullopt},
         {dish(10, 0.2)},
         {"DIFERENCA Recalculada hoje: 2; diferença de -0,000002 da armazenada: o cardápio, os comensais, as receitas "
          "ou os consumos mudaram depois do cálculo. -2e-06",
          "TOTAL Quantidade armazenada 2.000002"}},
    };
    for (const Lines& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> got;
        for (const Row& row : server::explain({c.stored}, c.parts).rows) {
            std::ostringstream line;
            line << std::setprecision(12) << row[1].asString() << " " << row[3].asString() << " " << row[6].asDouble();
            got.push_back(line.str());
            expectStoredPrecision(row[6].asDouble());
        }
        EXPECT_EQ(got, c.expected);
    }
}
