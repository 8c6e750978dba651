#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "Loopback.h"
#include "call/CallMain.h"

using namespace krv;
using namespace krv::rpc;
using namespace krv::rpc::test;

namespace {

struct ToolRun {
    int status;
    std::string out;
    std::string err;
};

class CallTool : public ::testing::Test {
protected:
    void SetUp() override {
        addEcho(dispatcher);
        dispatcher.add("Teste", "Recusa", {},
                       [](std::vector<Variant>&) -> Variant { throw MethodFailure("ERR_JA_EXISTE_PED"); });
        dispatcher.add("Teste", "Marca", {ArgType::String, ArgType::Date}, [](std::vector<Variant>& args) {
            args[0] = "S";
            args[1] = args[1].asDateTime().addDays(1);
            return Variant(Variant::Array{"17"});
        });
        ServerOptions options;
        options.token = "segredo";
        server = startServer(dispatcher, options);
        tokenFile = ::testing::TempDir() + "/krv-call-token";
        std::ofstream(tokenFile) << "  segredo\n";
    }

    ToolRun run(std::vector<std::string> words) {
        words.insert(words.begin(), {"--server", "127.0.0.1:" + std::to_string(server->port())});
        std::ostringstream out, err;
        const int status = call::runCall(words, out, err);
        return {status, out.str(), err.str()};
    }

    Dispatcher dispatcher;
    std::unique_ptr<Server> server;
    std::string tokenFile;
};

}  // namespace

TEST_F(CallTool, ExitStatusTellsSuccessServerTransportAndUsageApart) {
    const ToolRun marked = run({"--token-file", tokenFile, "Teste", "Marca", "N", "date:2026-12-31"});
    EXPECT_EQ(marked.status, 0) << marked.err;
    EXPECT_EQ(marked.out, "[\"17\"]\narg 1: S\narg 2: 2027-01-01\n");

    const ToolRun json = run({"--token-file", tokenFile, "--json", "Teste", "Eco", "int:7"});
    EXPECT_EQ(json.out, "{\"result\":7,\"args\":[7]}\n");

    const ToolRun refused = run({"--token-file", tokenFile, "Teste", "Recusa"});
    EXPECT_EQ(refused.status, 1);
    EXPECT_EQ(refused.err, "ERR_JA_EXISTE_PED\n");

    const ToolRun unknown = run({"--token-file", tokenFile, "Teste", "Some"});
    EXPECT_EQ(unknown.status, 1);
    EXPECT_EQ(unknown.err, "Método desconhecido: Teste.Some\n");

    const ToolRun noToken = run({"Teste", "Eco", "x"});
    EXPECT_EQ(noToken.status, 2);
    EXPECT_NE(noToken.err.find("exige autenticação"), std::string::npos) << noToken.err;

    const ToolRun missingFile = run({"--token-file", tokenFile + ".nao-existe", "Teste", "Eco", "x"});
    EXPECT_EQ(missingFile.status, 64);
    EXPECT_NE(missingFile.err.find("Não foi possível ler o arquivo de token"), std::string::npos) << missingFile.err;

    const ToolRun badDate = run({"--token-file", tokenFile, "Teste", "Eco", "date:31/12/2026"});
    EXPECT_EQ(badDate.status, 64);
    EXPECT_EQ(badDate.err.substr(0, badDate.err.find('\n')), "Data inválida 'date:31/12/2026': use date:AAAA-MM-DD");

    server->stop();
    const ToolRun down = run({"--token-file", tokenFile, "Teste", "Eco", "x"});
    EXPECT_EQ(down.status, 2);
    EXPECT_NE(down.err.find("conexão recusada"), std::string::npos) << down.err;
}
