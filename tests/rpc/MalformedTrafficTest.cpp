#include <gtest/gtest.h>

#include "Loopback.h"
#include "core/Codec.h"
#include "core/Errors.h"
#include "rpc/Message.h"

using namespace krv;
using namespace krv::rpc;
using namespace krv::rpc::test;

namespace {

const char* kObject = "Teste";

class MalformedTraffic : public ::testing::Test {
protected:
    void SetUp() override {
        addEcho(dispatcher);
        dispatcher.add(kObject, "Devolve", {}, [](std::vector<Variant>&) { return Variant(std::string(5000, 'z')); });
        dispatcher.add(kObject, "DevolveTamanho", {ArgType::Number},
                       [](std::vector<Variant>& args) { return Variant(std::string(size_t(args[0].asInt()), 'z')); });
        ServerOptions options;
        options.maxFrameBytes = 4096;
        options.threads = 1;
        options.log = log.sink();
        options.refusalQuiet = {};  // every reason below is looked for in the log
        server = startServer(dispatcher, std::move(options));
    }

    // The server still serves a fresh client after dropping a bad one.
    void expectServerStillWorks() {
        auto client = connectedClient(*server);
        std::vector<Variant> args{"ok"};
        EXPECT_EQ(client->call(kObject, "Eco", args), Variant(Variant::Array{true, "ok"}));
    }

    void expectDropped(const std::string& bytes, const std::string& logged) {
        RawConnection raw(server->port());
        raw.send(bytes);
        EXPECT_TRUE(raw.closedByServer()) << logged;
        EXPECT_TRUE(log.contains(logged)) << logged;
        expectServerStillWorks();
    }

    Dispatcher dispatcher;
    ServerLog log;
    std::unique_ptr<Server> server;
};

std::string garbageCall() {
    return codec::encode(Variant(Variant::Array{1, 1, kObject, "Eco", Variant::Array{std::string(5000, 'x')}}));
}

}  // namespace

TEST_F(MalformedTraffic, ServerDropsOnlyTheOffendingConnection) {
    expectDropped(std::string("\xFF\xFF\xFF\xFF", 4), "quadro de 4294967295 bytes excede o limite de 4096 bytes");
    expectDropped(framed(garbageCall()), "excede o limite de 4096 bytes");
    expectDropped(framed("\xC1 nada disso"), "mensagem inválida");
    expectDropped(framed(codec::encode(Variant("olá"))),
                  "mensagem inválida: o pedido deve ser uma lista de 5 elementos");
    expectDropped(framed(codec::encode(Variant(Variant::Array{2, 1, kObject, "Eco", Variant::Array{}}))),
                  "tipo de pedido desconhecido: 2");
    expectDropped(framed(codec::encode(Variant(Variant::Array{1, "1", kObject, "Eco", Variant::Array{}}))),
                  "o identificador do pedido deve ser um número inteiro");
    expectDropped(framed(codec::encode(Variant(Variant::Array{1, 1, kObject, "Eco", "arg"}))),
                  "os argumentos devem ser uma lista");
    // An id of 2^63: no int64 holds it.
    expectDropped(framed(std::string("\x95\x01\xcf\x80\0\0\0\0\0\0\0\xa5Teste\xa3" "Eco\x90", 22)),
                  "inteiro 9223372036854775808 acima do maior aceito, 9223372036854775807 (2^63-1)");

    // A valid frame followed by garbage: the first call is answered, then the connection dropped.
    RawConnection raw(server->port());
    raw.send(requestFrame(1, kObject, "Eco", {"ok"}) + "lixo");
    EXPECT_TRUE(raw.closedByServer());
    expectServerStillWorks();
}

TEST_F(MalformedTraffic, StalledClientDoesNotHoldTheServer) {
    // Half a frame and then silence, on a server with a single worker thread.
    RawConnection stalled(server->port());
    stalled.send(
        framed(codec::encode(Variant(Variant::Array{1, 1, kObject, "Eco", Variant::Array{"x"}}))).substr(0, 9));
    RawConnection silent(server->port());
    expectServerStillWorks();
}

TEST_F(MalformedTraffic, OversizedFramesAreRefusedBeforeTheyTravel) {
    // A client that allows more than the server: the server drops the connection.
    auto client = connectedClient(*server);
    std::vector<Variant> big{std::string(5000, 'x')};
    EXPECT_THROW(client->call(kObject, "Eco", big), ENetError);
    EXPECT_FALSE(client->connected());

    // A client with the same limit does not even send it.
    Endpoint sameLimit = endpointOf(*server);
    sameLimit.maxFrameBytes = 4096;
    client->connect(sameLimit);
    try {
        client->call(kObject, "Eco", big);
        FAIL() << "an oversized request was sent";
    } catch (const ENetError& error) {
        EXPECT_EQ(std::string(error.what()),
                  "Pedido não enviado ao servidor 127.0.0.1:" + std::to_string(server->port()) +
                      ": quadro de 5017 bytes excede o limite de 4096 bytes");
    }
    EXPECT_EQ(big[0].str().size(), 5000u);
    EXPECT_FALSE(client->connected());

    // An answer above the server's own limit becomes a refused call, not a dropped connection.
    client = connectedClient(*server);
    std::vector<Variant> none;
    try {
        client->call(kObject, "Devolve", none);
        FAIL() << "an oversized answer was sent";
    } catch (const EServerError& error) {
        EXPECT_NE(std::string(error.what()).find("Resposta de Teste.Devolve não enviada: quadro de"), std::string::npos)
            << error.what();
    }
    EXPECT_TRUE(client->connected());

    // An answer above this client's limit is refused on arrival.
    Endpoint picky = endpointOf(*server);
    picky.maxFrameBytes = 1000;
    client->connect(picky);
    std::vector<Variant> size{3000};
    try {
        client->call(kObject, "DevolveTamanho", size);
        FAIL() << "an oversized answer was accepted";
    } catch (const ENetError& error) {
        EXPECT_NE(std::string(error.what()).find("Resposta inválida do servidor 127.0.0.1:"), std::string::npos);
        EXPECT_NE(std::string(error.what()).find("excede o limite de 1000 bytes"), std::string::npos) << error.what();
    }
    EXPECT_EQ(size, std::vector<Variant>{3000});
    EXPECT_FALSE(client->connected());
}
