#include <gtest/gtest.h>

#include "core/Codec.h"
#include "core/Errors.h"
#include "rpc/Message.h"

using namespace krv;
using namespace krv::rpc;

namespace {

std::string hex(const std::string& bytes) {
    static const char* const digits = "0123456789abcdef";
    std::string out;
    for (unsigned char byte : bytes) {
        if (!out.empty()) out += ' ';
        out += digits[byte >> 4];
        out += digits[byte & 0xF];
    }
    return out;
}

Variant body(const std::string& frame) { return codec::decode(std::string_view(frame).substr(4)); }

}  // namespace

// Peers in other languages build these bytes by hand from docs/protocol.md.
TEST(Message, RequestBytesAreTheDocumentedOnes) {
    EXPECT_EQ(hex(requestFrame(7, "KRV52000.rdmPedReq", "GetFilial", {"0001"})),
              "00 00 00 26 95 01 07 b2 4b 52 56 35 32 30 30 30 2e 72 64 6d 50 65 64 52 65 71 "
              "a9 47 65 74 46 69 6c 69 61 6c 91 a4 30 30 30 31");
    EXPECT_EQ(hex(authFrame("k")), "00 00 00 08 92 a4 61 75 74 68 a1 6b");

    const Request request = readRequest(body(requestFrame(7, "KRV52000.rdmPedReq", "GetFilial", {"0001", nullptr})));
    EXPECT_EQ(request.id, 7);
    EXPECT_EQ(request.object, "KRV52000.rdmPedReq");
    EXPECT_EQ(request.method, "GetFilial");
    EXPECT_EQ(request.args, (std::vector<Variant>{"0001", nullptr}));
    EXPECT_EQ(readAuth(body(authFrame("k")))->token, "k");
    EXPECT_EQ(readAuthAnswer(body(authAnswerFrame(false))), false);
    EXPECT_FALSE(readAuth(Variant(Variant::Array{"auth", true})));
}

TEST(Message, ResponsesOfTheWrongShapeAreRejected) {
    const Response ok = readResponse(body(responseFrame(3, Outcome{true, Variant::Array{true, 1}, {"x"}})));
    EXPECT_EQ(ok.id, 3);
    EXPECT_TRUE(ok.ok);
    EXPECT_EQ(ok.args, std::vector<Variant>{"x"});

    auto rejection = [](Variant::Array items) {
        try {
            readResponse(Variant(std::move(items)));
        } catch (const EDecodeError& error) {
            return std::string(error.what());
        }
        return std::string("accepted");
    };
    EXPECT_EQ(rejection({3, true, nullptr}), "a resposta deve ser uma lista de 4 elementos");
    EXPECT_EQ(rejection({"3", true, nullptr, Variant::Array{}}),
              "o identificador da resposta deve ser um número inteiro");
    EXPECT_EQ(rejection({3, 1, nullptr, Variant::Array{}}), "o indicador de sucesso deve ser lógico");
    EXPECT_EQ(rejection({3, false, 42, Variant::Array{}}), "o erro de uma chamada recusada deve ser um texto");
    EXPECT_EQ(rejection({3, true, nullptr, nullptr}), "os argumentos devem ser uma lista");
}
