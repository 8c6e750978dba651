#include <gtest/gtest.h>

#include "call/CallArguments.h"

using namespace krv;
using namespace krv::call;

namespace {

std::string usageErrorOf(const std::vector<std::string>& words) {
    try {
        parseCommandLine(words);
    } catch (const UsageError& error) {
        return error.what();
    }
    return "no error";
}

}  // namespace

TEST(CallArguments, ParsesOptionsThenObjectMethodAndTypedArguments) {
    const CallRequest request =
        parseCommandLine({"--json", "--timeout", "1500", "--server", "servidor:7420", "--token-file", "/tmp/t",
                          "KRV52000.rdmPedReq", "CalculaRequisicoes", "0001", "date:2026-12-07", "num:10.5", "int:-3",
                          "null", "str:null", "str:date:x", "--json", "S"});
    EXPECT_EQ(request.endpoint.host, "servidor");
    EXPECT_EQ(request.endpoint.port, 7420);
    EXPECT_EQ(request.endpoint.timeout, std::chrono::milliseconds(1500));
    EXPECT_EQ(request.login.tokenFile, "/tmp/t");
    EXPECT_EQ(request.output, Output::Json);
    EXPECT_EQ(request.object, "KRV52000.rdmPedReq");
    EXPECT_EQ(request.method, "CalculaRequisicoes");
    const std::vector<Variant> expected{
        "0001", DateTime::fromDate(2026, 12, 7), 10.5, int64_t(-3), nullptr, "null", "date:x", "--json", "S"};
    EXPECT_EQ(request.args, expected);

    const CallRequest plain = parseCommandLine({"--server", "127.0.0.1:1", "Obj", "Met"});
    EXPECT_EQ(plain.output, Output::Table);
    EXPECT_TRUE(plain.args.empty());
    EXPECT_EQ(plain.endpoint.timeout, rpc::Endpoint{}.timeout);
    EXPECT_EQ(parseCommandLine({"--csv", "--server", "h:1", "Obj", "Met"}).output, Output::Csv);
}

TEST(CallArguments, RefusesBadInputWithAClearReason) {
    EXPECT_EQ(usageErrorOf({"Obj", "Met"}), "Informe o servidor com --server HOST:PORTA");
    EXPECT_EQ(usageErrorOf({"--server", "127.0.0.1:1", "Obj"}), "Informe o objeto e o método");
    EXPECT_EQ(usageErrorOf({"--server"}), "Falta o valor de --server");
    EXPECT_EQ(usageErrorOf({"--porta", "1", "Obj", "Met"}), "Opção desconhecida: --porta");
    EXPECT_EQ(usageErrorOf({"--json", "--csv", "--server", "h:1", "Obj", "Met"}),
              "Escolha --json ou --csv, não os dois");
    EXPECT_EQ(usageErrorOf({"--server", "semporta", "Obj", "Met"}),
              "--server: Endereço inválido 'semporta': falta a porta (use HOST:PORTA, por exemplo 127.0.0.1:7420)");
    EXPECT_EQ(usageErrorOf({"--server", "h:0", "Obj", "Met"}),
              "--server: Endereço inválido 'h:0': a porta deve ser um número de 1 a 65535 (use HOST:PORTA, por "
              "exemplo 127.0.0.1:7420)");
    EXPECT_EQ(usageErrorOf({"--server", "h:1", "--timeout", "0", "Obj", "Met"}),
              "Tempo limite inválido '0': informe milissegundos maiores que zero");

    EXPECT_THROW(parseArgument("date:2026-02-30"), UsageError);
    EXPECT_THROW(parseArgument("date:07/12/2026"), UsageError);
    EXPECT_THROW(parseArgument("num:10,5"), UsageError);
    EXPECT_THROW(parseArgument("num:nan"), UsageError);
    EXPECT_THROW(parseArgument("num:"), UsageError);
    EXPECT_THROW(parseArgument("int:3.5"), UsageError);
    EXPECT_THROW(parseArgument("int:99999999999999999999"), UsageError);
    EXPECT_EQ(usageErrorOf({"--server", "h:1", "Obj", "Met", "int:x"}), "Inteiro inválido 'int:x': use int:3");
}
