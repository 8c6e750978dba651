#include <gtest/gtest.h>

#include "Loopback.h"
#include "core/Errors.h"
#include "rpc/Message.h"

using namespace krv;
using namespace krv::rpc;
using namespace krv::rpc::test;

namespace {

const char* kToken = "s3gr3do-compartilhado";

class Auth : public ::testing::Test {
protected:
    void SetUp() override {
        addEcho(dispatcher);
        ServerOptions options;
        options.token = kToken;
        options.log = log.sink();
        server = startServer(dispatcher, std::move(options));
    }

    std::string netErrorOf(const std::string& token) {
        try {
            auto client = connectedClient(*server, token);
            std::vector<Variant> args{"x"};
            client->call("Teste", "Eco", args);
        } catch (const ENetError& error) {
            return error.what();
        }
        return "no error";
    }

    Dispatcher dispatcher;
    ServerLog log;
    std::unique_ptr<Server> server;
};

}  // namespace

TEST_F(Auth, OnlyTheRightTokenOpensTheConnection) {
    auto client = connectedClient(*server, kToken);
    std::vector<Variant> args{"x"};
    EXPECT_EQ(client->call("Teste", "Eco", args), Variant(Variant::Array{true, "x"}));
    EXPECT_EQ(client->call("Teste", "Eco", args), Variant(Variant::Array{true, "x"}));

    const std::string where = "127.0.0.1:" + std::to_string(server->port());
    EXPECT_EQ(netErrorOf("s3gr3do-errado"), "O servidor " + where + " recusou o token de acesso");
    EXPECT_EQ(netErrorOf(std::string(kToken) + "x"), "O servidor " + where + " recusou o token de acesso");
    // Same length, one byte off at either end: every byte counts.
    for (const size_t at : {size_t(0), std::string(kToken).size() - 1}) {
        std::string changed = kToken;
        changed[at] ^= 1;
        EXPECT_EQ(netErrorOf(changed), "O servidor " + where + " recusou o token de acesso") << at;
    }
    EXPECT_EQ(netErrorOf(""), "O servidor " + where + " exige autenticação: token de acesso ausente ou inválido");
    EXPECT_TRUE(log.contains("token de acesso ausente ou inválido"));

    // A request sent straight away, without the auth frame, is not served.
    RawConnection raw(server->port());
    raw.send(requestFrame(1, "Teste", "Eco", {"x"}));
    EXPECT_TRUE(raw.closedByServer());
}

TEST(AuthWithoutToken, ServerWithoutTokenAcceptsAnyAuthFrame) {
    Dispatcher dispatcher;
    addEcho(dispatcher);
    auto server = startServer(dispatcher);
    auto client = connectedClient(*server, "qualquer");
    std::vector<Variant> args{"x"};
    EXPECT_EQ(client->call("Teste", "Eco", args), Variant(Variant::Array{true, "x"}));
}
