// The rows of the requisition report KRV520, against a small data set whose every figure is
// worked out by hand, on both engines.
#include <gtest/gtest.h>

#include <map>

#include "ServerTestSupport.h"
#include "core/DataPacket.h"
#include "server/objects/PedReqObject.h"
#include "server/objects/ReportObject.h"

using namespace krv;
using krv::server::PedReqObject;
using krv::server::ReportObject;
using krv::server::test::columnOf;
using krv::server::test::TestServer;
namespace db = krv::server::db;

namespace {

using Args = std::vector<Variant>;
using Texts = std::vector<std::string>;

const DateTime kDay1 = DateTime::fromDate(2026, 3, 16);  // a Monday
const DateTime kDay2 = kDay1.addDays(1);
const DateTime kLater = kDay1.addDays(4);  // outside every period asked

// Two branches; Almoço (00002) has two shifts; two groupings of one group; a product with an
// accented name that byte order would put last.
void seed(db::Connection& c) {
    c.script(R"sql(
INSERT INTO branch (cdfilial, nmfilial, dtproc) VALUES ('0001', 'Cozinha Central', '2026-03-16');
INSERT INTO branch (cdfilial, nmfilial, dtproc) VALUES ('0002', 'Restaurante Norte', '2026-03-16');
INSERT INTO service VALUES ('0001', '00001', 'Desjejum'), ('0001', '00002', 'Almoço'), ('0002', '00001', 'Desjejum');
INSERT INTO shift VALUES ('0001', '00001', '1', 'Manhã'), ('0001', '00002', '1', 'Manhã'),
                         ('0001', '00002', '2', 'Tarde'), ('0002', '00001', '1', 'Manhã');
INSERT INTO product_group VALUES ('01', 'Alimentos');
INSERT INTO product_grouping VALUES ('01', '001', 'Carnes'), ('01', '002', 'Hortifrúti');
INSERT INTO product (cdproduto, nmproduto, sgunidade, cdgrupprod, cdsubgrprod, qtembalagem) VALUES ('1010010001', 'Carne moída', 'kg', '01', '001', 1),
                           ('1010010002', 'Acém', 'kg', '01', '001', 2.5),
                           ('1020020001', 'Alface', 'un', '01', '002', 1),
                           ('1020020002', 'Água mineral', 'un', '01', '002', 1);
INSERT INTO dish_type VALUES ('T1', 'Principal');
INSERT INTO dish VALUES ('0002', 'Feijão', 'T1'), ('0001', 'Arroz', 'T1');
INSERT INTO menu VALUES ('0001', '00002', '1', '2026-03-16', '0002'), ('0001', '00002', '1', '2026-03-16', '0001');
INSERT INTO diners_forecast VALUES ('0001', '00002', '1', '2026-03-16', 120);
)sql");
    struct Item {
        std::string product, type;
        double quantity;
    };
    struct Requisition {
        std::string branch, service, shift;
        DateTime day;
        std::string grouping;
        std::vector<Item> items;
    };
    const Requisition requisitions[] = {
        {"0001",
         "00002",
         "1",
         kDay1,
         "001",
         {{"1010010001", "C", 10}, {"1010010001", "P", 2.5}, {"1010010002", "F", 3}}},
        {"0001", "00002", "1", kDay1, "002", {{"1020020001", "C", 4}, {"1020020002", "C", 1.5}}},
        {"0001", "00002", "2", kDay1, "001", {{"1010010002", "C", 7}}},
        {"0001", "00001", "1", kDay2, "002", {{"1020020001", "F", 2}}},
        {"0001", "00002", "1", kLater, "001", {{"1010010002", "C", 99}}},
        {"0002", "00001", "1", kDay1, "001", {{"1010010002", "C", 55}}},
    };
    for (const Requisition& r : requisitions) {
        c.execute(
            "INSERT INTO requisition (cdfilial, cdservfili, cdturno, dtrequipedido, cdgrupprod, cdsubgrprod,"
            " cdfiliopelog, nrseqrequipedido, cdfildest, cdfillanc, cdoperador, dtlancamento)"
            " VALUES (?, ?, ?, ?, '01', ?, ?, '1', ?, ?, 'TESTE', ?)",
            {r.branch, r.service, r.shift, r.day, r.grouping, r.branch, r.branch, r.branch, db::Timestamp{kDay1}});
        const int64_t number = *c.integer(
            "SELECT nrrequipedido FROM requisition WHERE cdfilial = ? AND cdservfili = ? AND cdturno = ?"
            " AND dtrequipedido = ? AND cdsubgrprod = ?",
            {r.branch, r.service, r.shift, r.day, r.grouping});
        for (const Item& item : r.items)
            c.execute(
                "INSERT INTO requisition_item (nrrequipedido, cdproduto, idtipoconsumo, qtrequisitada)"
                " VALUES (?, ?, ?, ?)",
                {number, item.product, item.type, item.quantity});
    }
}

class ReportQuery : public server::test::EngineTest {
protected:
    void SetUp() override {
        server = std::make_unique<TestServer>(engine(), false);
        seed(server->sql());
        allServices = serviceList("0001", "T");
        allShifts = shiftList(allServices, "T");
    }

    std::string listNumber(const char* method, Args args, size_t numberAt) {
        server->call(PedReqObject::kName, method, args);
        return args.at(numberAt).asString();
    }
    std::string serviceList(const std::string& branch, const std::string& keys) {
        return listNumber("GetNrListaServ", {branch, keys, ""}, 2);
    }
    std::string shiftList(const std::string& services, const std::string& keys) {
        return listNumber("GetNrListaTurno", {services, "", keys}, 1);
    }

    // The eleven parameters of the whole data set, ordered by code, with `changes` applied.
    Args params(const std::map<std::string, Variant>& changes = {}) const {
        std::map<std::string, Variant> values{{"P_CDFILIAL", "0001"},
                                              {"P_DATAINI", kDay1},
                                              {"P_DATAFIN", kDay2},
                                              {"P_NRLISTASERV", allServices},
                                              {"P_NRLISTATURNO", allShifts},
                                              {"P_TAMNIV", 10},
                                              {"P_ORDENA", "C"},
                                              {"P_IDIMPRIMECARD", "N"},
                                              {"P_IDQUEBRAPAGINA", "S"},
                                              {"P_NRLINHABRANCA", 2},
                                              {"P_LISTAGRUPPROD", "T"}};
        for (const auto& [name, value] : changes) values[name] = value;
        Variant::Array pairs;
        for (const auto& [name, value] : values)
            if (!value.isNull()) pairs.push_back(Variant(Variant::Array{name, value}));
        return {"KRV520", Variant(std::move(pairs))};
    }
    DataPacket rows(const std::map<std::string, Variant>& changes = {}) const {
        Args args = params(changes);
        return server->call(ReportObject::kName, "GetDados", args).packet();
    }
    std::string refusal(const std::map<std::string, Variant>& changes) const {
        return server->failure(ReportObject::kName, "GetDados", params(changes));
    }

    std::unique_ptr<TestServer> server;
    std::string allServices, allShifts;
};
KRV_ON_BOTH_ENGINES(ReportQuery);

// "day service shift code" of each row.
Texts blocksAndCodes(const DataPacket& packet) {
    Texts out;
    const Texts days = columnOf(packet, "DTREQUI"), services = columnOf(packet, "CDSERVFILI"),
                shifts = columnOf(packet, "CDTURNO"), codes = columnOf(packet, "CDPRODUTO");
    for (size_t i = 0; i < days.size(); ++i)
        out.push_back(days[i] + " " + services[i] + " " + shifts[i] + " " + codes[i]);
    return out;
}

TEST_P(ReportQuery, SumsEachProductPerBlockAndConsumptionTypeWithinTheFilter) {
    const DataPacket all = rows();
    EXPECT_EQ(blocksAndCodes(all), (Texts{"16/03/2026 00002 1 1.01.001.0001", "16/03/2026 00002 1 1.01.001.0002",
                                          "16/03/2026 00002 1 1.02.002.0001", "16/03/2026 00002 1 1.02.002.0002",
                                          "16/03/2026 00002 2 1.01.001.0002", "17/03/2026 00001 1 1.02.002.0001"}))
        << "another branch and a day outside the period stay out";
    EXPECT_EQ(columnOf(all, "QTMATPRIMA"), (Texts{"10", "0", "4", "1.5", "7", "0"}));
    EXPECT_EQ(columnOf(all, "QTCONSFIXO"), (Texts{"0", "3", "0", "0", "0", "2"}));
    EXPECT_EQ(columnOf(all, "QTCONSPERCAP"), (Texts{"2.5", "0", "0", "0", "0", "0"}));
    EXPECT_EQ(columnOf(all, "QTTOTAL"), (Texts{"12.5", "3", "4", "1.5", "7", "2"}));
    EXPECT_EQ(columnOf(all, "QTEMBALAGEM"), (Texts{"1", "2.5", "1", "1", "2.5", "1"}));
    EXPECT_EQ(columnOf(all, "QTCOMENSAIS"), (Texts{"120", "120", "120", "120", "", ""}));
    EXPECT_EQ(columnOf(all, "NMDIASEMANA")[5], "Terça");
    EXPECT_EQ(columnOf(all, "NMFILIAL")[0], "Cozinha Central");
    EXPECT_EQ(columnOf(all, "DSCARDAPIO"), Texts(6, "")) << "no menu unless asked";
    EXPECT_EQ(columnOf(rows({{"P_IDIMPRIMECARD", "S"}}), "DSCARDAPIO"),
              (Texts{"Arroz, Feijão", "Arroz, Feijão", "Arroz, Feijão", "Arroz, Feijão", "", ""}));

    // Lunch, its first shift and the vegetables only; then the second day only.
    const std::string lunch = serviceList("0001", "_000100002_");
    const DataPacket narrowed = rows({{"P_NRLISTASERV", lunch},
                                      {"P_NRLISTATURNO", shiftList(lunch, "_0001000021_")},
                                      {"P_LISTAGRUPPROD", "_01        002_"}});
    EXPECT_EQ(blocksAndCodes(narrowed),
              (Texts{"16/03/2026 00002 1 1.02.002.0001", "16/03/2026 00002 1 1.02.002.0002"}));
    EXPECT_EQ(blocksAndCodes(rows({{"P_DATAINI", kDay2}})), (Texts{"17/03/2026 00001 1 1.02.002.0001"}));
    EXPECT_TRUE(rows({{"P_NRLISTASERV", serviceList("0001", "_000100001_")}, {"P_DATAFIN", kDay1}}).rows.empty());
}

TEST_P(ReportQuery, OrdersByCodeOrByNameWithinTheLevelIgnoringAccents) {
    const auto firstBlockNames = [&](const std::map<std::string, Variant>& changes) {
        Texts names = columnOf(rows(changes), "NMPRODUTO");
        names.resize(4);
        return names;
    };
    EXPECT_EQ(firstBlockNames({}), (Texts{"Carne moída", "Acém", "Alface", "Água mineral"}));
    EXPECT_EQ(firstBlockNames({{"P_ORDENA", "A"}, {"P_TAMNIV", 3}}),
              (Texts{"Acém", "Carne moída", "Água mineral", "Alface"}));
    EXPECT_EQ(firstBlockNames({{"P_ORDENA", "A"}, {"P_TAMNIV", 0}}),
              (Texts{"Acém", "Água mineral", "Alface", "Carne moída"}));
    // The level does not reorder a report by code.
    EXPECT_EQ(firstBlockNames({{"P_TAMNIV", 3}}), firstBlockNames({}));
}

TEST_P(ReportQuery, RefusesEveryInvalidParameterByName) {
    const std::string otherBranch = serviceList("0002", "T");
    const std::pair<std::map<std::string, Variant>, std::string> cases[] = {
        {{{"P_CDFILIAL", "0009"}}, "Filial 0009 não cadastrada."},
        {{{"P_CDFILIAL", "00'1"}}, "Parâmetro P_CDFILIAL deve conter apenas letras e números."},
        {{{"P_DATAINI", "16/03/2026"}}, "Parâmetro P_DATAINI deve ser uma data."},
        {{{"P_DATAINI", kDay2}, {"P_DATAFIN", kDay1}}, "Parâmetro P_DATAINI deve ser menor ou igual a P_DATAFIN."},
        {{{"P_NRLISTASERV", "999"}}, "Lista de serviços 999 não encontrada."},
        {{{"P_NRLISTASERV", allShifts}}, "Lista de serviços " + allShifts + " não encontrada."},
        {{{"P_NRLISTASERV", otherBranch}}, "A lista de serviços " + otherBranch + " não pertence à filial 0001."},
        {{{"P_NRLISTATURNO", "1 OR 1=1"}}, "Parâmetro P_NRLISTATURNO deve conter apenas dígitos."},
        {{{"P_TAMNIV", 11}}, "Parâmetro P_TAMNIV deve estar entre 0 e 10."},
        {{{"P_TAMNIV", -1}}, "Parâmetro P_TAMNIV deve estar entre 0 e 10."},
        {{{"P_ORDENA", "c"}}, "Parâmetro P_ORDENA deve ser \"C\" ou \"A\"."},
        {{{"P_IDIMPRIMECARD", "X"}}, "Parâmetro P_IDIMPRIMECARD deve ser \"S\" ou \"N\"."},
        {{{"P_IDQUEBRAPAGINA", ""}}, "Parâmetro P_IDQUEBRAPAGINA deve ser \"S\" ou \"N\"."},
        {{{"P_NRLINHABRANCA", -1}}, "Parâmetro P_NRLINHABRANCA deve estar entre 0 e 999."},
        {{{"P_LISTAGRUPPROD", "_01' OR '1'='1_"}}, "Parâmetro P_LISTAGRUPPROD contém uma chave inválida."},
        {{{"P_LISTAGRUPPROD", "_01        009_"}}, "Agrupamento 01/009 não cadastrado."},
        {{{"P_LISTAGRUPPROD", ""}},
         "Parâmetro P_LISTAGRUPPROD deve ser \"T\" ou uma lista de chaves (\"_chave1_chave2_\")."},
        {{{"P_ORDENA", nullptr}}, "Parâmetro P_ORDENA não informado."},
        {{{"P_IDRESUMO", "s"}}, "Parâmetro P_IDRESUMO deve ser \"S\" ou \"N\"."},
    };
    for (const auto& [changes, message] : cases) EXPECT_EQ(refusal(changes), message) << changes.begin()->first;

    Args unknown = params();
    unknown[1].array().push_back(Variant(Variant::Array{"P_SQL", "DROP TABLE requisition"}));
    EXPECT_EQ(server->failure(ReportObject::kName, "GetDados", unknown),
              "Parâmetro P_SQL desconhecido no relatório KRV520.");
    Args otherReport = params();
    otherReport[0] = "KRV999";
    EXPECT_EQ(server->failure(ReportObject::kName, "GetDados", otherReport), "Relatório KRV999 desconhecido.");
    EXPECT_EQ(server->count("SELECT count(*) FROM requisition"), 6);
}

TEST_P(ReportQuery, LayoutFlagsAreTakenWithinTheirRange) {
    for (const auto& [flag, value] : std::vector<std::pair<std::string, Variant>>{{"P_IDQUEBRAPAGINA", "N"},
                                                                                  {"P_NRLINHABRANCA", 0},
                                                                                  {"P_NRLINHABRANCA", 999},
                                                                                  {"P_NRLINHABRANCA", 3.0},
                                                                                  {"P_IDRESUMO", "S"},
                                                                                  {"P_IDRESUMO", "N"}})
        EXPECT_EQ(rows({{flag, value}}).rows.size(), 6u) << flag << " " << value.asString();
}

}  // namespace
