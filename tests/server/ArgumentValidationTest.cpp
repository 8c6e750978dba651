#include <gtest/gtest.h>

#include "ServerTestSupport.h"
#include "core/DataPacket.h"
#include "server/checks/Arguments.h"
#include "server/objects/PedReqObject.h"
#include "server/objects/SessionObject.h"

using namespace krv;
using krv::server::PedReqObject;
using krv::server::SessionObject;
using krv::server::test::TestServer;
namespace test = krv::server::test;

namespace {

struct BranchArgument {
    const char* object;
    const char* method;
};

// Every method that takes a branch code as its only argument.
const BranchArgument kBranchMethods[] = {{PedReqObject::kName, "GetFilial"},
                                         {PedReqObject::kName, "GetServico"},
                                         {PedReqObject::kName, "GetAgrupProd"},
                                         {SessionObject::kName, "DataProc"}};

const std::string kNotText = "Código da filial deve ser um texto.";
const std::string kTooLong = "Código da filial deve ter no máximo 4 caracteres.";
const std::string kBadCharacters = "Código da filial deve conter apenas letras e números.";

class ArgumentValidation : public test::EngineTest {};
KRV_ON_BOTH_ENGINES(ArgumentValidation);

}  // namespace

TEST_P(ArgumentValidation, BadBranchCodesFailClearlyAndChangeNothing) {
    TestServer server(engine());
    const std::string before = server.content(test::allTables());

    const std::vector<Variant> wrongTypes{Variant(),
                                          Variant(1),
                                          Variant(1.5),
                                          Variant(true),
                                          Variant(DateTime::fromDate(2026, 3, 15)),
                                          Variant(Variant::Array{"0001"}),
                                          Variant(DataPacket{})};
    const std::vector<std::string> hostile{"'; DROP TABLE branch; --",
                                           "0001'",
                                           "0' OR '1'='1",
                                           "_0001_",
                                           "00_1",
                                           "%",
                                           "0%",
                                           "T ",
                                           " 001",
                                           "ção",
                                           "\xEF\xBC\x90\xEF\xBC\x90",  // full-width digits
                                           std::string("00\0"
                                                       "1",
                                                       4),
                                           "\xFF\xFE"};
    for (const auto& [object, method] : kBranchMethods) {
        SCOPED_TRACE(method);
        for (const Variant& value : wrongTypes) EXPECT_EQ(server.failure(object, method, {value}), kNotText);
        EXPECT_EQ(server.failure(object, method, {"00001"}), kTooLong);
        EXPECT_EQ(server.failure(object, method, {std::string(100000, '9')}), kTooLong);
        for (const std::string& text : hostile)
            EXPECT_EQ(server.failure(object, method, {text}), kBadCharacters) << text;
    }
    // An empty code is a missing one, except for the session date, which falls back to today.
    for (const char* method : {"GetFilial", "GetServico", "GetAgrupProd"})
        EXPECT_EQ(server.failure(PedReqObject::kName, method, {""}), "Código da filial deve ser informado.");

    EXPECT_EQ(server.content(test::allTables()), before);
}

TEST(ArgumentChecks, WrongArgumentCountIsRefusedBeforeTheMethodRuns) {
    TestServer server;
    for (const auto& [object, method] : kBranchMethods) {
        const rpc::Outcome none = server.dispatch(object, method, {});
        EXPECT_FALSE(none.ok) << method;
        const rpc::Outcome two = server.dispatch(object, method, {"0001", "0002"});
        EXPECT_FALSE(two.ok) << method;
        EXPECT_EQ(two.args, (std::vector<Variant>{"0001", "0002"}));
    }
}

TEST(ArgumentChecks, TextLengthCountsCharactersNotBytes) {
    using server::requireText;
    using server::utf8Length;
    EXPECT_EQ(utf8Length("Café da Manhã"), 13u);
    EXPECT_EQ(utf8Length("\xC3"), std::string_view::npos);  // cut in the middle of "é"
    EXPECT_EQ(requireText(Variant("Almoço"), "Nome", 6, false), "Almoço");
    EXPECT_THROW(requireText(Variant("Almoços"), "Nome", 6, false), rpc::MethodFailure);
    EXPECT_THROW(requireText(Variant(std::string("a\0b", 3)), "Nome", 6, false), rpc::MethodFailure);
    EXPECT_EQ(requireText(Variant(""), "Nome", 6, true), "");
}
