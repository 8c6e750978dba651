#include <gtest/gtest.h>

#include "core/Errors.h"
#include "host/screens/Consiste.h"
#include "host/session/NetConnection.h"
#include "rpc/Dispatcher.h"
#include "support/RecordingServer.h"

using namespace krv;
using namespace krv::host;

namespace {

const char* const kObject = "KRV52000.rdmPedReq";

// A connection to the recording server whose endpoint, like the screens', is set in BeforeConnect.
struct NetFixture : ::testing::Test {
    test::RecordingServer server;
    TNetConnection net;
    int connects = 0;

    void SetUp() override {
        server.on(kObject, "GetNrListaServ", 3, [](std::vector<Variant>& args) {
            args[1] = Variant("_00010001_");
            args[2] = Variant("42");
            return Variant(Variant::Array{"42"});
        });
        server.on(kObject, "Eco", 1, [](std::vector<Variant>& args) { return args[0]; });
        server.on(kObject, "Falha", 0,
                  [](std::vector<Variant>&) -> Variant { throw rpc::MethodFailure("ERR_JA_EXISTE_PED"); });
        server.on(kObject, "Dobra", 2, [](std::vector<Variant>& args) {
            args[0] = Variant(args[0].asDouble() * 2);
            args[1] = Variant(Variant::Array{args[1], "mais"});
            return Variant();
        });
        server.start();
        net.ServerName = kObject;
        net.ThrowException = false;
        net.TimeoutMs = 5000;
        net.BeforeConnect = [this](TNetConnection& c) {
            ++connects;
            c.Host = "127.0.0.1";
            c.Port = server.port();
        };
    }
};

}  // namespace

TEST_F(NetFixture, BeforeConnectRunsBeforeEveryConnectionAndOnlyThen) {
    EXPECT_FALSE(net.Connected());
    net.SetConnected(true);
    EXPECT_TRUE(net.Connected());
    EXPECT_EQ(connects, 1);
    net.SetConnected(true);  // already open: nothing to do
    net.Call("Eco", {"a"});
    EXPECT_EQ(connects, 1);

    net.SetConnected(false);
    EXPECT_FALSE(net.Connected());
    net.Call("Eco", {"b"});  // a call on a closed connection opens it
    EXPECT_TRUE(net.Connected());
    EXPECT_EQ(connects, 2);
    EXPECT_EQ(server.methods(), (std::vector<std::string>{"Eco", "Eco"}));
}

TEST_F(NetFixture, ArgumentsTravelInOrderAndReferencesReceiveWhatTheServerWroteBack) {
    const QString cdFilial = "0001";
    QString chaves = "T";
    QString nrLista;
    const Variant outcome = net.Call("GetNrListaServ", {cdFilial, Ref(chaves), Ref(nrLista)});

    EXPECT_EQ(outcome, Variant(Variant::Array{true, Variant::Array{"42"}}));
    EXPECT_EQ(chaves, "_00010001_");
    EXPECT_EQ(nrLista, "42");
    EXPECT_EQ(cdFilial, "0001");
    ASSERT_EQ(server.calls().size(), 1u);
    const auto call = server.calls()[0];
    EXPECT_EQ(call.object, kObject);
    EXPECT_EQ(call.method, "GetNrListaServ");
    EXPECT_EQ(call.args, (std::vector<Variant>{"0001", "T", ""}));

    double amount = 2.5;
    Variant list = "x";
    net.Call("Dobra", {Ref(amount), Ref(list)});
    EXPECT_EQ(amount, 5.0);
    EXPECT_EQ(list, Variant(Variant::Array{"x", "mais"}));

    // Values of every kind a screen sends, by value.
    net.Call("Eco", {QDate(2026, 12, 7)});
    net.Call("Eco", {12.5});
    net.Call("Eco", {"Ação"});
    const auto calls = server.calls();
    EXPECT_EQ(calls[2].args[0], Variant(DateTime::fromDate(2026, 12, 7)));
    EXPECT_EQ(calls[3].args[0], Variant(12.5));
    EXPECT_EQ(calls[4].args[0], Variant("Ação"));
}

TEST_F(NetFixture, ServerFailuresAreReturnedOrRaisedAsConfigured) {
    const Variant outcome = net.Call("Falha");
    EXPECT_EQ(outcome, Variant(Variant::Array{false, "ERR_JA_EXISTE_PED"}));
    EXPECT_THROW(CheckResultServ(outcome, true, 0), EServerError);

    net.ThrowException = true;
    try {
        net.Call("Falha");
        ADD_FAILURE() << "no error raised";
    } catch (const EServerError& e) {
        EXPECT_STREQ(e.what(), "ERR_JA_EXISTE_PED");
    }
    EXPECT_EQ(net.Call("Eco", {"ok"}), Variant(Variant::Array{true, "ok"}));

    // A call the server refuses itself is an error whatever ThrowException says.
    net.ThrowException = false;
    EXPECT_THROW(net.Call("NaoExiste"), EServerError);
    EXPECT_THROW(net.Call("Eco", {"a", "b"}), EServerError);
    EXPECT_TRUE(net.Connected());
}

TEST_F(NetFixture, AServerRestartedWhileTheScreenWasIdleCostsItsNextCallNothing) {
    net.Call("Eco", {"antes"});
    ASSERT_EQ(connects, 1);

    server.restart();
    EXPECT_EQ(net.Call("Eco", {"depois"}), Variant(Variant::Array{true, "depois"}));
    EXPECT_TRUE(net.Connected());
    EXPECT_EQ(connects, 1) << "the client connected again by itself";

    server.stop();
    net.SetConnected(false);
    EXPECT_THROW(net.Call("Eco", {"recusada"}), ENetError);
    EXPECT_FALSE(net.Connected());
    EXPECT_EQ(connects, 2);
}

TEST_F(NetFixture, AnEndpointWithoutAValidPortIsRefusedBeforeConnecting) {
    net.BeforeConnect = [](TNetConnection& c) { c.Port = 0; };
    EXPECT_THROW(net.SetConnected(true), ENetError);
    net.BeforeConnect = [](TNetConnection& c) { c.Port = 70000; };
    EXPECT_THROW(net.Call("Eco", {"x"}), ENetError);
    EXPECT_FALSE(net.Connected());
    EXPECT_TRUE(server.calls().empty());
}

TEST(NetConnection, TheSharedTokenOpensTheConnectionAndAWrongOneIsRefused) {
    test::RecordingServer server;
    server.on(kObject, "Eco", 1, [](std::vector<Variant>& args) { return args[0]; });
    server.start("segredo");
    TNetConnection net;
    net.ServerName = kObject;
    net.TimeoutMs = 5000;
    net.BeforeConnect = [&](TNetConnection& c) {
        c.Host = "127.0.0.1";
        c.Port = server.port();
    };
    net.Token = "errado";
    EXPECT_THROW(net.Call("Eco", {"x"}), ENetError);
    EXPECT_FALSE(net.Connected());
    net.Token = "segredo";
    EXPECT_EQ(net.Call("Eco", {"x"}), Variant(Variant::Array{true, "x"}));
    EXPECT_EQ(server.calls().size(), 1u);
}
