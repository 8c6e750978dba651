#include <gtest/gtest.h>

#include "core/Errors.h"
#include "host/session/DBPicture.h"
#include "host/session/Session.h"
#include "rpc/Dispatcher.h"
#include "support/RecordingServer.h"

using namespace krv;
using namespace krv::host;

namespace {

const char* const kSession = "Host.rdmSessao";

// A session server whose answers a test can change while it runs.
struct SessionFixture : ::testing::Test {
    test::RecordingServer server;
    std::string picture0 = "9.99.999.9999";
    Variant processingDate = DateTime::fromDate(2026, 12, 7);

    void SetUp() override {
        server.on(kSession, "DataProc", 1, [this](std::vector<Variant>&) { return processingDate; });
        server.on(kSession, "DBPictObj", 1, [this](std::vector<Variant>& args) -> Variant {
            switch (args[0].asInt()) {
                case 0:
                    return picture0;
                case 1:
                    return "99.99";
                case 2:
                    return "9..9";
                case 3:
                    return 5;
                default:
                    throw rpc::MethodFailure("Tipo de máscara desconhecido");
            }
        });
        server.start();
        SetSession({"0001", "ADMIN", "127.0.0.1", server.port(), ""});
    }
    void TearDown() override { SetSession({}); }

    int callsOf(const std::string& method) const {
        int n = 0;
        for (const auto& c : server.calls()) n += c.method == method;
        return n;
    }
};

}  // namespace

TEST_F(SessionFixture, SessionValuesAndTheProcessingDateOfABranch) {
    EXPECT_EQ(FiliProc(), "0001");
    EXPECT_EQ(Operador(), "ADMIN");
    EXPECT_EQ(WebURL(), "127.0.0.1");
    EXPECT_EQ(WebPort(), server.port());

    EXPECT_EQ(DataProc("0001"), DateTime::fromDate(2026, 12, 7));
    EXPECT_EQ(DataProcDate("0002"), QDate(2026, 12, 7));
    ASSERT_EQ(server.calls().size(), 2u);
    EXPECT_EQ(server.calls()[0].object, kSession);
    EXPECT_EQ(server.calls()[0].args, std::vector<Variant>{"0001"});
    EXPECT_EQ(server.calls()[1].args, std::vector<Variant>{"0002"});

    processingDate = "07/12/2026";  // a date must come as a date, not as text
    EXPECT_THROW(DataProc("0001"), EServerError);
}

TEST_F(SessionFixture, CodePicturesAreAskedOncePerTypeAndAgainForANewSession) {
    TDBPicture& products = DBPictObj(0);
    EXPECT_EQ(products.GetTtNiveis(), 4);
    EXPECT_EQ(products.TamAcNivel("2"), 3);
    EXPECT_EQ(&DBPictObj(0), &products);
    EXPECT_EQ(DBPictObj(1).GetTtNiveis(), 2);
    EXPECT_EQ(callsOf("DBPictObj"), 2);
    EXPECT_EQ(server.calls()[0].args, std::vector<Variant>{0});

    picture0 = "9.9.99.9.999.9.9999";
    SetSession({"0002", "OUTRO", "127.0.0.1", server.port(), ""});
    EXPECT_EQ(DBPictObj(0).GetTtNiveis(), 7);
    EXPECT_EQ(products.GetTtNiveis(), 7);  // references held by screens follow the new session
    EXPECT_EQ(callsOf("DBPictObj"), 3);
}

TEST_F(SessionFixture, BadCodePicturesAreServerErrorsAndNotCached) {
    EXPECT_THROW(DBPictObj(2), EServerError);  // malformed picture
    EXPECT_THROW(DBPictObj(3), EServerError);  // not a text
    try {
        DBPictObj(9);
        ADD_FAILURE() << "no error raised";
    } catch (const EServerError& e) {
        EXPECT_STREQ(e.what(), "Tipo de máscara desconhecido");
    }
    EXPECT_THROW(DBPictObj(9), EServerError);
    EXPECT_EQ(callsOf("DBPictObj"), 4);
}

TEST_F(SessionFixture, ANewSessionSendsTheNextCallToTheNewServer) {
    EXPECT_EQ(DataProc("0001"), DateTime::fromDate(2026, 12, 7));
    test::RecordingServer other;
    other.on(kSession, "DataProc", 1, [](std::vector<Variant>&) { return Variant(DateTime::fromDate(2027, 1, 2)); });
    other.start();
    SetSession({"0001", "ADMIN", "127.0.0.1", other.port(), ""});
    EXPECT_EQ(DataProc("0001"), DateTime::fromDate(2027, 1, 2));
    EXPECT_EQ(server.calls().size(), 1u);
}
