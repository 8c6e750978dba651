#include <gtest/gtest.h>

#include "ServerTestSupport.h"
#include "core/DataPacket.h"
#include "server/objects/PedReqObject.h"
#include "server/objects/SessionObject.h"

using namespace krv;
using krv::server::PedReqObject;
using krv::server::SessionObject;
using krv::server::test::columnOf;
using krv::server::test::TestServer;

namespace {

void expectFields(const DataPacket& packet, const std::vector<FieldDef>& expected) {
    ASSERT_EQ(packet.fields.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(packet.fields[i].name, expected[i].name);
        EXPECT_EQ(packet.fields[i].type, expected[i].type) << expected[i].name;
        EXPECT_EQ(packet.fields[i].size, expected[i].size) << expected[i].name;
    }
    for (const Row& row : packet.rows) ASSERT_EQ(row.size(), expected.size());
}

DataPacket lookup(const TestServer& server, const std::string& method, const std::string& argument) {
    std::vector<Variant> args{argument};
    Variant payload = server.call(PedReqObject::kName, method, args);
    EXPECT_EQ(args.at(0), Variant(argument)) << method << " must leave its argument as received";
    return payload.type() == Variant::Type::Packet ? payload.packet() : DataPacket{};
}

class Lookups : public krv::server::test::EngineTest {};
KRV_ON_BOTH_ENGINES(Lookups);

}  // namespace

TEST_P(Lookups, GetFilialOneAllOrNone) {
    TestServer server(engine());
    const std::vector<FieldDef> fields{{"IDMARCADO", FieldType::String, 1},
                                       {"CDFILIAL", FieldType::String, 4},
                                       {"NMFILIAL", FieldType::String, 30},
                                       {"OL", FieldType::Fixed, 1}};

    const DataPacket one = lookup(server, "GetFilial", "0002");
    expectFields(one, fields);
    ASSERT_EQ(one.rows.size(), 1u);
    EXPECT_EQ(one.rows[0], (Row{"N", "0002", "Hospital Santa Clara", "N"}));

    const DataPacket all = lookup(server, "GetFilial", "T");
    expectFields(all, fields);
    EXPECT_EQ(columnOf(all, "CDFILIAL"),
              (std::vector<std::string>{"0001", "0002", "0003", "0004", "0005", "0006", "0007"}));
    EXPECT_EQ(columnOf(all, "OL"), (std::vector<std::string>{"N", "N", "N", "N", "N", "N", "S"}));

    const DataPacket none = lookup(server, "GetFilial", "9999");
    expectFields(none, fields);
    EXPECT_TRUE(none.rows.empty());
    EXPECT_TRUE(lookup(server, "GetFilial", "1").rows.empty()) << "codes match exactly, no padding";
}

TEST_P(Lookups, GetServicoKeysAreBranchAndServiceCodes) {
    TestServer server(engine());
    const DataPacket services = lookup(server, "GetServico", "0001");
    expectFields(services, {{"IDMARCADO", FieldType::Fixed, 1},
                            {"CHAVE", FieldType::String, 9},
                            {"CDSERVFILI", FieldType::String, 5},
                            {"NMSERVICO", FieldType::String, 40}});
    EXPECT_EQ(columnOf(services, "CHAVE"), (std::vector<std::string>{"00010001", "00010002", "00010004", "00010005"}));
    EXPECT_EQ(columnOf(services, "NMSERVICO"), (std::vector<std::string>{"Café da Manhã", "Almoço", "Jantar", "Ceia"}));
    EXPECT_EQ(columnOf(services, "IDMARCADO"), std::vector<std::string>(4, "N"));
    EXPECT_TRUE(lookup(server, "GetServico", "9999").rows.empty());
}

TEST_P(Lookups, GetAgrupProdKeyPadsTheGroupToTenCharacters) {
    TestServer server(engine());
    const DataPacket groupings = lookup(server, "GetAgrupProd", "0003");
    expectFields(groupings, {{"IDMARCADO", FieldType::Fixed, 1},
                             {"CHAVE", FieldType::String, 20},
                             {"CDSUBGRPROD", FieldType::String, 10},
                             {"NMSUBGRPROD", FieldType::String, 40}});
    ASSERT_EQ(groupings.rows.size(), 8u);
    EXPECT_EQ(groupings.rows[0], (Row{"N", "01        0101", "0101", "Carnes, Aves e Peixes"}));
    EXPECT_EQ(columnOf(groupings, "CHAVE").back(), "03        0301");
    EXPECT_TRUE(lookup(server, "GetAgrupProd", "9999").rows.empty());
}

TEST_P(Lookups, SessionProcessingDateAndCodePicture) {
    TestServer server(engine());
    std::vector<Variant> branch{"0004"};
    server.sql().execute("UPDATE branch SET dtproc = ? WHERE cdfilial = '0004'", {DateTime::fromDate(2026, 4, 1)});
    EXPECT_EQ(server.call(SessionObject::kName, "DataProc", branch), Variant(DateTime::fromDate(2026, 4, 1)));
    for (const char* unknown : {"", "9999"}) {
        std::vector<Variant> args{unknown};
        EXPECT_EQ(server.call(SessionObject::kName, "DataProc", args), Variant(DateTime::fromDate(2026, 3, 15)))
            << "today, at midnight, for \"" << unknown << "\"";
    }

    std::vector<Variant> type{0};
    EXPECT_EQ(server.call(SessionObject::kName, "DBPictObj", type), Variant("9.99.999.9999"));
    std::vector<Variant> typeAsFloat{0.0};
    EXPECT_EQ(server.call(SessionObject::kName, "DBPictObj", typeAsFloat), Variant("9.99.999.9999"));
    EXPECT_EQ(server.failure(SessionObject::kName, "DBPictObj", {7}), "Máscara de código do tipo 7 não cadastrada.");
    EXPECT_EQ(server.failure(SessionObject::kName, "DBPictObj", {0.5}), "Tipo de máscara deve ser um número inteiro.");
    EXPECT_EQ(server.failure(SessionObject::kName, "DBPictObj", {"0"}), "Tipo de máscara deve ser um número inteiro.");
    EXPECT_EQ(server.failure(SessionObject::kName, "DBPictObj", {-1}), "Tipo de máscara deve estar entre 0 e 9999.");
}
