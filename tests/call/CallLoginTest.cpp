// krv-call logs in as an operator: the options, where the password comes from, and the
// login frame that reaches the server.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "LoginAcceptor.h"
#include "call/CallArguments.h"
#include "call/CallMain.h"
#include "call/CallReport.h"

using namespace krv;
using namespace krv::call;

namespace {

std::string fileHolding(const std::string& name, const std::string& content) {
    const std::string path = ::testing::TempDir() + "/krv-call-login-" + name;
    std::ofstream(path, std::ios::binary) << content;
    return path;
}

struct ToolRun {
    int status;
    std::string err;
};

// KRV_SENHA as the given value for one run (nullptr: unset), as a shell would export it.
ToolRun runWithPassword(const char* environment, const std::vector<std::string>& words) {
    if (environment)
        setenv(rpc::kPasswordVariable, environment, 1);
    else
        unsetenv(rpc::kPasswordVariable);
    std::ostringstream out, err;
    const int status = runCall(words, out, err);
    unsetenv(rpc::kPasswordVariable);
    return {status, err.str()};
}

}  // namespace

TEST(CallLogin, OptionsNameTheOperatorTheCaAndTheTlsAddress) {
    const CallRequest request =
        parseCommandLine({"--server", "tls:servidor:7420", "--operador", "ANA", "--senha-arquivo", "/tmp/senha", "--ca",
                          "/tmp/ca.pem", "Obj", "Met"});
    EXPECT_EQ(request.endpoint.host, "servidor");
    EXPECT_TRUE(request.endpoint.tls);
    EXPECT_EQ(request.login.operatorName, "ANA");
    EXPECT_EQ(request.login.passwordFile, "/tmp/senha");
    EXPECT_EQ(request.login.caFile, "/tmp/ca.pem");
    EXPECT_EQ(request.endpoint.password, "") << "read only when the call is made";
}

TEST(CallLogin, BadLoginsAreUsageErrorsThatNeverShowThePassword) {
    const std::string empty = fileHolding("empty", "");
    const std::string token = fileHolding("token", "ficha\n");
    struct Case {
        const char* environment;
        std::vector<std::string> words;
        const char* message;
    };
    const Case cases[] = {
        {"segredo", {"--senha", "segredo", "Obj", "Met"}, "Opção desconhecida: --senha"},
        {nullptr, {"--operador", "ANA", "Obj", "Met"}, "KRV_SENHA ou com --senha-arquivo"},
        {"segredo", {"--operador", "ANA", "--token-file", token, "Obj", "Met"}, "Use --operador ou --token-file"},
        {"segredo", {"--senha-arquivo", empty, "Obj", "Met"}, "--senha-arquivo exige --operador"},
        {"segredo", {"--operador", "", "Obj", "Met"}, "--operador não pode ser vazio"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> words{"--server", "127.0.0.1:1"};
        words.insert(words.end(), c.words.begin(), c.words.end());
        const ToolRun run = runWithPassword(c.environment, words);
        EXPECT_EQ(run.status, kExitUsage) << c.message;
        EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
        EXPECT_EQ(run.err.find("segredo"), std::string::npos) << run.err;
    }
}

TEST(CallLogin, TheLoginFrameReachesTheServerAndARefusalIsTheServers) {
    rpc::test::LoginAcceptor server([](const Variant&) { return false; });
    const std::string file = fileHolding("password", "do arquivo\n");
    const std::string where = "127.0.0.1:" + std::to_string(server.port());

    const ToolRun fromFile = runWithPassword(
        "do ambiente", {"--server", where, "--operador", "ANA", "--senha-arquivo", file, "Teste", "Eco", "x"});
    EXPECT_EQ(fromFile.status, kExitServerFailure);
    EXPECT_EQ(fromFile.err, "O servidor " + where + " recusou o operador ou a senha\n");

    const ToolRun fromEnvironment =
        runWithPassword("do ambiente", {"--server", where, "--operador", "BIA", "Teste", "Eco"});
    EXPECT_EQ(fromEnvironment.status, kExitServerFailure);

    const std::vector<Variant> expected{Variant::Array{"auth", "ANA", "do arquivo"},
                                        Variant::Array{"auth", "BIA", "do ambiente"}};
    EXPECT_EQ(server.firstFrames(), expected);
}
