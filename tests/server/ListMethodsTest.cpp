#include <gtest/gtest.h>

#include "ServerTestSupport.h"
#include "core/DataPacket.h"
#include "server/objects/PedReqObject.h"
#include "server/stores/ListStore.h"

using namespace krv;
using krv::server::PedReqObject;
using krv::server::test::columnOf;
using krv::server::test::TestServer;
namespace test = krv::server::test;

namespace {

using test::Args;
using test::numberIn;
using test::Texts;

std::string serviceList(const TestServer& server, const std::string& branch, const std::string& keys,
                        const std::string& current = "") {
    Args args{branch, keys, current};
    const std::string number = numberIn(server.call(PedReqObject::kName, "GetNrListaServ", args));
    EXPECT_EQ(args, (Args{branch, keys, number})) << "the new number written back, the keys left as sent";
    return number;
}

std::string shiftList(const TestServer& server, const std::string& services, const std::string& keys,
                      const std::string& current = "") {
    Args args{services, current, keys};
    const std::string number = numberIn(server.call(PedReqObject::kName, "GetNrListaTurno", args));
    EXPECT_EQ(args, (Args{services, number, keys}));
    return number;
}

DataPacket shiftsOf(const TestServer& server, const std::string& serviceList) {
    Args args{serviceList};
    const Variant payload = server.call(PedReqObject::kName, "GetTurno", args);
    return payload.type() == Variant::Type::Packet ? payload.packet() : DataPacket{};
}

void deleteLists(const TestServer& server, Args args) {
    server.call(PedReqObject::kName, "apagaListas", args);
    EXPECT_EQ(args, (Args{"", "", "", args.at(3)})) << "the numbers of deleted lists are blanked";
}

bool exists(const TestServer& server, const std::string& number) {
    return server.count("SELECT count(*) FROM server_list WHERE nrlista = " + number) == 1;
}

// What a list holds, one key per row: its codes put together.
Texts keysIn(const TestServer& server, const std::string& number) {
    const auto list =
        server::ListStore(server.sql(), server.caller.operatorName).find(std::stoll(number), test::fixedNow());
    if (!list) return {"(gone)"};
    return test::listRows(server.sql(), std::stoll(number));
}

class ListMethods : public test::EngineTest {};
KRV_ON_BOTH_ENGINES(ListMethods);

}  // namespace

TEST_P(ListMethods, ListsFollowTheSelectionAndRenewalReplacesOnlyTheirOwn) {
    TestServer server(engine());
    const std::string all = serviceList(server, "0001", "T");
    EXPECT_EQ(keysIn(server, all), (Texts{"00010001", "00010002", "00010004", "00010005"}));

    const DataPacket shifts = shiftsOf(server, all);
    ASSERT_EQ(shifts.fields, (std::vector<FieldDef>{{"IDMARCADO", FieldType::Fixed, 1},
                                                    {"CHAVE", FieldType::String, 10},
                                                    {"CDSERVFILI", FieldType::String, 5},
                                                    {"NMSERVICO", FieldType::String, 40},
                                                    {"CDTURNO", FieldType::String, 1},
                                                    {"NMTURNO", FieldType::String, 10}}));
    EXPECT_EQ(columnOf(shifts, "CHAVE"), (Texts{"000100011", "000100021", "000100041", "000100042", "000100051"}));
    EXPECT_EQ(shifts.rows[3], (Row{"N", "000100042", "0004", "Jantar", "2", "2º Turno"}));

    // A key given twice counts once; renewing deletes the list it replaces.
    const std::string some = serviceList(server, "0001", "_00010005_00010004_00010005_", all);
    EXPECT_NE(some, all);
    EXPECT_FALSE(exists(server, all));
    EXPECT_EQ(keysIn(server, some), (Texts{"00010004", "00010005"}));
    EXPECT_EQ(columnOf(shiftsOf(server, some), "CHAVE"), (Texts{"000100041", "000100042", "000100051"}));

    const std::string everyShift = shiftList(server, some, "T");
    EXPECT_EQ(keysIn(server, everyShift), (Texts{"000100041", "000100042", "000100051"}));
    const std::string oneShift = shiftList(server, some, "_000100042_", everyShift);
    EXPECT_EQ(keysIn(server, oneShift), Texts{"000100042"});
    EXPECT_FALSE(exists(server, everyShift));

    // A branch without services has an empty list, and so have its shifts.
    server.sql().execute("INSERT INTO branch (cdfilial, nmfilial, dtproc) VALUES ('0100', 'Nova', ?)",
                         {test::seedDate()});
    const std::string none = serviceList(server, "0100", "T");
    EXPECT_TRUE(shiftsOf(server, none).rows.empty());
    EXPECT_TRUE(keysIn(server, shiftList(server, none, "T")).empty());

    deleteLists(server, {some, oneShift, "", ""});
    EXPECT_FALSE(exists(server, some));
    EXPECT_FALSE(exists(server, oneShift));
    EXPECT_EQ(server.count("SELECT count(*) FROM server_list"), 2) << "the other screen's lists stay";
    // The screen deletes at every close: blanks, and lists already gone, are fine.
    deleteLists(server, {"", "", "", ""});
    deleteLists(server, {some, oneShift, "999999999999999999", "0001"});
}

TEST_P(ListMethods, SelectionsThatAreNotExactlyWhatExistsAreRefusedByName) {
    TestServer server(engine());
    const std::string services = serviceList(server, "0001", "_00010002_00010004_");
    const std::string before = server.content(test::allTables());

    struct Case {
        std::string keys;
        std::string services;  // the message for a service selection of branch 0001
        std::string shifts;    // the message for a shift selection on `services`
    };
    const std::string form =
        " deve ser \"T\" ou chaves, cada uma seguida de \"_\", após um \"_\" inicial (\"_chave1_chave2_\").";
    const std::string characters = " deve conter apenas letras e números em cada chave.";
    const std::string shiftOutside = " não cadastrado para os serviços da lista " + services + ".";
    const std::vector<Case> cases{
        {"", "Seleção de serviços deve ser informada.", "Seleção de turnos deve ser informada."},
        {"_", "Seleção de serviços deve ser informada.", "Seleção de turnos deve ser informada."},
        {"t", "Seleção de serviços" + form, "Seleção de turnos" + form},
        {"T_", "Seleção de serviços" + form, "Seleção de turnos" + form},
        {"_T", "Seleção de serviços" + form, "Seleção de turnos" + form},
        {"00010002_", "Seleção de serviços" + form, "Seleção de turnos" + form},
        {"_00010002", "Seleção de serviços" + form, "Seleção de turnos" + form},
        {"__", "Seleção de serviços contém uma chave vazia.", "Seleção de turnos contém uma chave vazia."},
        {"_00010002__000100021_", "Seleção de serviços contém uma chave vazia.",
         "Seleção de turnos contém uma chave vazia."},
        {"_0001'0002_", "Seleção de serviços" + characters, "Seleção de turnos" + characters},
        {"_0001 0002_", "Seleção de serviços" + characters, "Seleção de turnos" + characters},
        {"_%_", "Seleção de serviços" + characters, "Seleção de turnos" + characters},
        {"_0001ção_", "Seleção de serviços" + characters, "Seleção de turnos" + characters},
        {std::string("_0001\0_", 7), "Seleção de serviços" + characters, "Seleção de turnos" + characters},
        // Exactly as long as a key may be, and one more.
        {"_000100002_", "Serviço 000100002 não cadastrado na filial 0001.", "Turno 000100002" + shiftOutside},
        {"_0001000021_", "Seleção de serviços contém uma chave com mais de 9 caracteres.",
         "Turno 0001000021" + shiftOutside},
        {"_00010002100_", "Seleção de serviços contém uma chave com mais de 9 caracteres.",
         "Seleção de turnos contém uma chave com mais de 10 caracteres."},
        // Another branch's, a service or shift that does not exist, a shift of an unlisted service:
        // the whole selection is refused, never quietly narrowed.
        {"_00010002_00020002_", "Serviço 00020002 não cadastrado na filial 0001.", "Turno 00010002" + shiftOutside},
        {"_00010003_", "Serviço 00010003 não cadastrado na filial 0001.", "Turno 00010003" + shiftOutside},
        {"_000100021_000200021_", "Serviço 000100021 não cadastrado na filial 0001.", "Turno 000200021" + shiftOutside},
        {"_000100022_", "Serviço 000100022 não cadastrado na filial 0001.", "Turno 000100022" + shiftOutside},
        {"_000100011_", "Serviço 000100011 não cadastrado na filial 0001.", "Turno 000100011" + shiftOutside},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.keys);
        EXPECT_EQ(server.failure(PedReqObject::kName, "GetNrListaServ", {"0001", c.keys, ""}), c.services);
        EXPECT_EQ(server.failure(PedReqObject::kName, "GetNrListaTurno", {services, "", c.keys}), c.shifts);
    }
    for (const Variant& wrongType : {Variant(), Variant(1), Variant(Variant::Array{"T"})}) {
        EXPECT_EQ(server.failure(PedReqObject::kName, "GetNrListaServ", {"0001", wrongType, ""}),
                  "Seleção de serviços deve ser um texto.");
        EXPECT_EQ(server.failure(PedReqObject::kName, "GetNrListaTurno", {services, "", wrongType}),
                  "Seleção de turnos deve ser um texto.");
    }
    EXPECT_EQ(server.failure(PedReqObject::kName, "GetNrListaServ", {"9999", "T", ""}), "Filial 9999 não cadastrada.");
    EXPECT_EQ(server.failure(PedReqObject::kName, "GetNrListaServ", {"00001", "T", ""}),
              "Código da filial deve ter no máximo 4 caracteres.");
    EXPECT_EQ(server.content(test::allTables()), before) << "a refused selection neither creates nor replaces a list";
}

TEST_P(ListMethods, UnknownMalformedOrForeignListNumbersAreRefused) {
    TestServer server(engine());
    const std::string services = serviceList(server, "0001", "T");
    const std::string shifts = shiftList(server, services, "T");
    const std::string before = server.content(test::allTables());

    const std::string number = "Número da lista de serviços";
    struct Case {
        Variant value;
        std::string message;  // after the argument's name
    };
    const std::vector<Case> malformed{
        {"", " deve ser informado."},
        {Variant(), " deve ser um texto."},
        {Variant(int64_t(1)), " deve ser um texto."},
        {Variant(1.0), " deve ser um texto."},
        {"-1", " deve conter apenas dígitos."},
        {"1.0", " deve conter apenas dígitos."},
        {" 1", " deve conter apenas dígitos."},
        {"1e3", " deve conter apenas dígitos."},
        {"١", " deve conter apenas dígitos."},  // an Arabic-Indic one
        {"9999999999999999999", " deve ter no máximo 18 dígitos."},
    };
    for (const Case& c : malformed) {
        SCOPED_TRACE(c.message);
        EXPECT_EQ(server.failure(PedReqObject::kName, "GetTurno", {c.value}), number + c.message);
        EXPECT_EQ(server.failure(PedReqObject::kName, "GetNrListaTurno", {c.value, "", "T"}), number + c.message);
        if (c.value != Variant("")) {
            EXPECT_EQ(server.failure(PedReqObject::kName, "GetNrListaServ", {"0001", "T", c.value}),
                      number + " atual" + c.message);
            EXPECT_EQ(server.failure(PedReqObject::kName, "apagaListas", {"", "", c.value, ""}),
                      "Número da lista do cálculo" + c.message);
        }
    }

    // Lists that must exist, and be service lists.
    for (const std::string& missing : {std::string("999999999999999999"), std::string("0")}) {
        const std::string message = "Lista de serviços " + std::to_string(std::stoll(missing)) + " não encontrada.";
        EXPECT_EQ(server.failure(PedReqObject::kName, "GetTurno", {missing}), message);
        EXPECT_EQ(server.failure(PedReqObject::kName, "GetNrListaTurno", {missing, "", "T"}), message);
    }
    const std::string notServices = "A lista " + shifts + " não é uma lista de serviços.";
    EXPECT_EQ(server.failure(PedReqObject::kName, "GetTurno", {shifts}), notServices);
    EXPECT_EQ(server.failure(PedReqObject::kName, "GetNrListaTurno", {shifts, "", "T"}), notServices);

    // A current number names the list to replace or delete: never one of another kind.
    EXPECT_EQ(server.failure(PedReqObject::kName, "GetNrListaServ", {"0001", "T", shifts}),
              "Número da lista de serviços atual: a lista " + shifts + " não é uma lista de serviços.");
    EXPECT_EQ(server.failure(PedReqObject::kName, "GetNrListaTurno", {services, services, "T"}),
              "Número da lista de turnos atual: a lista " + services + " não é uma lista de turnos.");
    EXPECT_EQ(server.failure(PedReqObject::kName, "apagaListas", {services, services, "", ""}),
              "Número da lista de turnos: a lista " + services + " não é uma lista de turnos.");
    EXPECT_EQ(server.failure(PedReqObject::kName, "apagaListas", {"", "", services, ""}),
              "Número da lista do cálculo: a lista " + services + " não é uma lista de cálculo.");
    EXPECT_EQ(server.failure(PedReqObject::kName, "apagaListas", {services, shifts, "", "0001'"}),
              "Código da filial do cálculo deve conter apenas letras e números.");
    EXPECT_EQ(server.content(test::allTables()), before) << "nothing deleted by a refused call";

    // A current number already gone (purged, deleted at a close) is nothing to replace.
    EXPECT_FALSE(shiftList(server, services, "T", "999999").empty());
}

TEST_P(ListMethods, ListsOutliveTheServerProcessAndGoOnlyAfterAWeekUnused) {
    TestServer server(engine());
    DateTime now = test::fixedNow();
    // Another process on the same database, or this one restarted: it purges as it starts.
    const auto restart = [&] {
        server.app = std::make_unique<server::Application>(
            server::ApplicationOptions{server.database.target(), false, [&] { return now; }});
    };
    restart();
    const std::string services = serviceList(server, "0002", "_00020003_");
    const std::string shifts = shiftList(server, services, "_000200032_000200031_");
    restart();
    EXPECT_EQ(columnOf(shiftsOf(server, services), "NMTURNO"), (Texts{"1º Turno", "2º Turno", "3º Turno"}));
    deleteLists(server, {services, shifts, "", ""});
    EXPECT_EQ(server.count("SELECT count(*) FROM server_list"), 0);

    // A screen left open: its lists live as long as it uses them, each use counting from then.
    const std::string idle = serviceList(server, "0001", "T");
    const std::string used = serviceList(server, "0001", "T");
    now = now.addDays(6);
    shiftsOf(server, used);
    now = now.addDays(1);  // exactly a week since `idle` was last used
    restart();
    EXPECT_TRUE(exists(server, idle));
    now = DateTime{now.seconds + 1};
    restart();
    EXPECT_FALSE(exists(server, idle));
    EXPECT_TRUE(exists(server, used)) << "used a day ago";

    // A running server purges at most hourly, after making a list, so list writers do not
    // all scan the table; the purge runs at the first list of the next hour.
    const auto makeIdle = [&](const std::string& number) {
        server.sql().execute("UPDATE server_list SET dtuso = ? WHERE nrlista = " + number,
                             {server::db::Timestamp{now.addDays(-8)}});
    };
    serviceList(server, "0001", "T");
    makeIdle(used);
    now = DateTime{now.seconds + 3599};
    serviceList(server, "0001", "T");
    EXPECT_TRUE(exists(server, used)) << "purged less than an hour ago";
    now = DateTime{now.seconds + 1};
    serviceList(server, "0001", "T");
    EXPECT_FALSE(exists(server, used));
}
