#include <gtest/gtest.h>

#include "Loopback.h"
#include "core/DataPacket.h"
#include "core/Errors.h"

using namespace krv;
using namespace krv::rpc;
using namespace krv::rpc::test;

namespace {

const char* kObject = "KRV52000.rdmPedReq";

DataPacket branches() {
    DataPacket packet;
    packet.fields = {{"CDFILIAL", FieldType::Fixed, 4}, {"NMFILIAL", FieldType::String, 40}};
    packet.rows = {{"0001", "Cozinha Central"}, {"0002", "Refeitório São João"}};
    return packet;
}

class Call : public ::testing::Test {
protected:
    void SetUp() override {
        // Writes back into three of its arguments, as the list methods do with their
        // "current number" and key-list arguments.
        dispatcher.add(kObject, "GetNrListaServ", {ArgType::String, ArgType::String, ArgType::String},
                       [](std::vector<Variant>& args) {
                           args[1] = "_001_002_";
                           args[2] = "17";
                           return Variant(Variant::Array{"17"});
                       });
        dispatcher.add(kObject, "Reescreve", {ArgType::Date, ArgType::Number, ArgType::Packet, ArgType::Any},
                       [](std::vector<Variant>& args) {
                           args[0] = DateTime::fromDate(2027, 1, 31);
                           args[1] = 2.5;
                           args[2] = Variant(branches());
                           args[3] = nullptr;
                           return Variant();
                       });
        dispatcher.add(kObject, "Recusa", {},
                       [](std::vector<Variant>&) -> Variant { throw MethodFailure("ERR_JA_EXISTE_PED"); });
        dispatcher.add(kObject, "GetFilial", {ArgType::String},
                       [](std::vector<Variant>&) { return Variant(branches()); });
        dispatcher.add(kObject, "PacoteTorto", {}, [](std::vector<Variant>&) {
            DataPacket packet = branches();
            packet.rows[1].pop_back();
            return Variant(std::move(packet));
        });
        server = startServer(dispatcher);
        client = connectedClient(*server);
    }

    Dispatcher dispatcher;
    std::unique_ptr<Server> server;
    std::unique_ptr<Client> client;
};

}  // namespace

TEST_F(Call, WritesBackEveryArgumentTheServerChanged) {
    std::vector<Variant> args{"0001", "T", ""};
    EXPECT_EQ(client->call(kObject, "GetNrListaServ", args), Variant(Variant::Array{true, Variant::Array{"17"}}));
    EXPECT_EQ(args, (std::vector<Variant>{"0001", "_001_002_", "17"}));

    std::vector<Variant> typed{DateTime::fromDate(2026, 12, 1), 10, Variant(DataPacket{}), "texto"};
    client->call(kObject, "Reescreve", typed);
    EXPECT_EQ(typed[0], Variant(DateTime::fromDate(2027, 1, 31)));
    EXPECT_EQ(typed[1], Variant(2.5));
    ASSERT_EQ(typed[2].type(), Variant::Type::Packet);
    EXPECT_EQ(typed[2].packet().rows.size(), 2u);
    EXPECT_EQ(typed[2].packet().rows[1][1], Variant("Refeitório São João"));
    EXPECT_TRUE(typed[3].isNull());

    std::vector<Variant> branch{"0001"};
    const Variant result = client->call(kObject, "GetFilial", branch);
    ASSERT_EQ(result.array()[1].type(), Variant::Type::Packet);
    EXPECT_EQ(result.array()[1].packet().fields[0].name, "CDFILIAL");
}

TEST_F(Call, TellsServerFailuresFromTransportFailures) {
    // The method's own failure is a normal answer: the caller's CheckResultServ raises it.
    std::vector<Variant> none;
    EXPECT_EQ(client->call(kObject, "Recusa", none), Variant(Variant::Array{false, "ERR_JA_EXISTE_PED"}));
    EXPECT_TRUE(client->connected());

    // A call the server refused raises EServerError and leaves the connection usable.
    std::vector<Variant> wrong{42};
    try {
        client->call(kObject, "GetFilial", wrong);
        FAIL() << "a call with a wrong argument type succeeded";
    } catch (const EServerError& error) {
        EXPECT_STREQ(error.what(), "KRV52000.rdmPedReq.GetFilial: argumento 1 deve ser texto, recebido número inteiro");
    }
    EXPECT_EQ(wrong, std::vector<Variant>{42});
    EXPECT_TRUE(client->connected());
    std::vector<Variant> branch{"0001"};
    EXPECT_NO_THROW(client->call(kObject, "GetFilial", branch));

    // A server that is gone: each call tries to connect again and says it could not; one the
    // caller closed calls nobody.
    const uint16_t port = server->port();
    server->stop();
    const std::string down =
        "Não foi possível conectar ao servidor 127.0.0.1:" + std::to_string(port) + ": conexão recusada";
    for (int attempt = 0; attempt < 2; ++attempt) {
        try {
            client->call(kObject, "GetFilial", branch);
            FAIL() << "a call reached a stopped server";
        } catch (const ENetError& error) {
            EXPECT_EQ(std::string(error.what()), down);
        }
        EXPECT_FALSE(client->connected());
    }
    client->close();
    try {
        client->call(kObject, "GetFilial", branch);
        FAIL() << "a closed client called the server";
    } catch (const ENetError& error) {
        EXPECT_EQ(std::string(error.what()), "Sem conexão com o servidor 127.0.0.1:" + std::to_string(port));
    }

    Client refused;
    Endpoint endpoint = endpointOf(*server);
    try {
        refused.connect(endpoint);
        FAIL() << "connected to a stopped server";
    } catch (const ENetError& error) {
        EXPECT_EQ(std::string(error.what()), down);
    }
    EXPECT_FALSE(refused.connected());
}

TEST_F(Call, UnencodableValuesFailWithoutLosingTheConnection) {
    std::vector<Variant> none;
    try {
        client->call(kObject, "PacoteTorto", none);
        FAIL() << "a malformed packet was sent";
    } catch (const EServerError& error) {
        EXPECT_EQ(std::string(error.what()),
                  "Erro interno: resposta de KRV52000.rdmPedReq.PacoteTorto inválida: "
                  "Pacote: linha 2 tem 1 valores para 2 campos");
    }
    EXPECT_TRUE(client->connected());

    std::vector<Variant> notUtf8{std::string("\xC3\x28")};
    EXPECT_THROW(client->call(kObject, "GetFilial", notUtf8), std::invalid_argument);
    EXPECT_TRUE(client->connected());
    std::vector<Variant> branch{"0001"};
    EXPECT_NO_THROW(client->call(kObject, "GetFilial", branch));
}
