#include <gtest/gtest.h>

#include "core/DataPacket.h"
#include "rpc/Dispatcher.h"

using namespace krv;
using namespace krv::rpc;

namespace {

const char* kObject = "KRV52000.rdmPedReq";

Dispatcher dispatcherWithSignature() {
    Dispatcher dispatcher;
    dispatcher.add(kObject, "Calcula", {ArgType::String, ArgType::Date, ArgType::Number, ArgType::Packet, ArgType::Any},
                   [](std::vector<Variant>&) { return Variant("feito"); });
    return dispatcher;
}

std::vector<Variant> validArgs() {
    return {"0001", DateTime::fromDate(2026, 12, 7), 10.5, Variant(DataPacket{}), nullptr};
}

}  // namespace

TEST(Dispatcher, ChecksTheSignatureBeforeRunningTheMethod) {
    const Dispatcher dispatcher = dispatcherWithSignature();

    Outcome ok = dispatcher.dispatch(Caller{}, kObject, "Calcula", validArgs());
    EXPECT_TRUE(ok.ok);
    EXPECT_EQ(ok.result, Variant(Variant::Array{true, "feito"}));

    std::vector<Variant> intForNumber = validArgs();
    intForNumber[2] = 10;
    EXPECT_TRUE(dispatcher.dispatch(Caller{}, kObject, "Calcula", intForNumber).ok);

    Outcome tooFew = dispatcher.dispatch(Caller{}, kObject, "Calcula", {"0001"});
    EXPECT_FALSE(tooFew.ok);
    EXPECT_EQ(tooFew.result.str(),
              "KRV52000.rdmPedReq.Calcula: número de argumentos inválido (esperados 5, recebidos 1)");

    std::vector<Variant> textForDate = validArgs();
    textForDate[1] = "07/12/2026";
    Outcome wrongType = dispatcher.dispatch(Caller{}, kObject, "Calcula", textForDate);
    EXPECT_FALSE(wrongType.ok);
    EXPECT_EQ(wrongType.result.str(), "KRV52000.rdmPedReq.Calcula: argumento 2 deve ser data, recebido texto");
    EXPECT_EQ(wrongType.args, textForDate);

    std::vector<Variant> nullForText = validArgs();
    nullForText[0] = nullptr;
    EXPECT_EQ(dispatcher.dispatch(Caller{}, kObject, "Calcula", nullForText).result.str(),
              "KRV52000.rdmPedReq.Calcula: argumento 1 deve ser texto, recebido nulo");
}

TEST(Dispatcher, AnOptionalTrailingArgumentMayBeLeftOffButNoOtherCountPasses) {
    Dispatcher dispatcher;
    dispatcher.add(
        kObject, "Gera", {ArgType::String, ArgType::String, ArgType::String},
        [](std::vector<Variant>& args) { return Variant(int64_t(args.size())); }, 1);
    const struct {
        size_t count;
        std::string failure;  // empty: the call goes through
    } cases[] = {
        {1, "KRV52000.rdmPedReq.Gera: número de argumentos inválido (esperados 2 a 3, recebidos 1)"},
        {2, ""},
        {3, ""},
        {4, "KRV52000.rdmPedReq.Gera: número de argumentos inválido (esperados 2 a 3, recebidos 4)"},
    };
    for (const auto& c : cases) {
        const Outcome outcome =
            dispatcher.dispatch(Caller{}, kObject, "Gera", std::vector<Variant>(c.count, Variant("S")));
        EXPECT_EQ(outcome.ok, c.failure.empty()) << c.count;
        EXPECT_EQ(outcome.result,
                  c.failure.empty() ? Variant(Variant::Array{true, int64_t(c.count)}) : Variant(c.failure));
    }
    std::vector<Variant> wrongTail(3, Variant("S"));
    wrongTail[2] = int64_t(1);
    EXPECT_EQ(dispatcher.dispatch(Caller{}, kObject, "Gera", wrongTail).result.str(),
              "KRV52000.rdmPedReq.Gera: argumento 3 deve ser texto, recebido número inteiro");
}

TEST(Dispatcher, NamesTheUnknownPartOfAnAddress) {
    const Dispatcher dispatcher = dispatcherWithSignature();

    Outcome unknownMethod = dispatcher.dispatch(Caller{}, kObject, "Apaga", {});
    EXPECT_FALSE(unknownMethod.ok);
    EXPECT_EQ(unknownMethod.result.str(), "Método desconhecido: KRV52000.rdmPedReq.Apaga");

    EXPECT_EQ(dispatcher.dispatch(Caller{}, "KRV52000", "rdmPedReq.Calcula", validArgs()).result.str(),
              "Objeto desconhecido: KRV52000");
    EXPECT_EQ(dispatcher.dispatch(Caller{}, "KRV52000.rdm", "Calcula", validArgs()).result.str(),
              "Objeto desconhecido: KRV52000.rdm");
}

TEST(Dispatcher, MapsTheMethodsOutcome) {
    Dispatcher dispatcher;
    dispatcher.add(kObject, "Recusa", {ArgType::String}, [](std::vector<Variant>& args) -> Variant {
        args[0] = "alterado";
        throw MethodFailure("ERR_JA_EXISTE_PED");
    });
    dispatcher.add(kObject, "Quebra", {ArgType::String}, [](std::vector<Variant>& args) -> Variant {
        args[0] = "meio caminho";
        throw std::runtime_error("disco cheio");
    });
    dispatcher.add(kObject, "Estranho", {}, [](std::vector<Variant>&) -> Variant { throw 42; });

    // A domain failure is the method's own outcome: the call succeeded and its
    // by-reference arguments travel back as the method left them.
    Outcome refused = dispatcher.dispatch(Caller{}, kObject, "Recusa", {"original"});
    EXPECT_TRUE(refused.ok);
    EXPECT_EQ(refused.result, Variant(Variant::Array{false, "ERR_JA_EXISTE_PED"}));
    EXPECT_EQ(refused.args, std::vector<Variant>{"alterado"});

    // A crash inside the method fails the call and sends the caller's values back untouched.
    Outcome broken = dispatcher.dispatch(Caller{}, kObject, "Quebra", {"original"});
    EXPECT_FALSE(broken.ok);
    EXPECT_EQ(broken.result.str(), "Erro interno: disco cheio");
    EXPECT_EQ(broken.args, std::vector<Variant>{"original"});

    EXPECT_EQ(dispatcher.dispatch(Caller{}, kObject, "Estranho", {}).result.str(),
              "Erro interno: exceção desconhecida");
}
