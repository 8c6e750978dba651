#include <gtest/gtest.h>

#include <algorithm>

#include "Loopback.h"
#include "core/Codec.h"
#include "core/Errors.h"
#include "rpc/AnswerParts.h"
#include "rpc/Frame.h"

using namespace krv;
using namespace krv::rpc;
using namespace krv::rpc::test;

namespace {

// Rows of one text cell, each 100 bytes once encoded (fixarray, str8 header, 97 letters).
DataPacket rowsOf100Bytes(size_t rows, char letter) {
    DataPacket p;
    p.fields = {{"T", FieldType::String, 97}};
    p.rows.assign(rows, Row{Variant(std::string(97, letter))});
    return p;
}

// A list of text, numbers and dates, some 300 bytes a row.
DataPacket list(int64_t rows) {
    DataPacket p;
    p.fields = {{"NMFILIAL", FieldType::String, 300},
                {"NRREQUIPEDIDO", FieldType::Float, 0},
                {"DTREQUIPEDIDO", FieldType::DateTime, 0}};
    for (int64_t r = 0; r < rows; ++r)
        p.rows.push_back({Variant("Cozinha " + std::to_string(r % 700) + std::string(280, '.')), Variant(double(r + 1)),
                          Variant(DateTime{r, 0})});
    return p;
}

std::string_view bodyOf(const std::string& frame) { return std::string_view(frame).substr(frame::kHeaderBytes); }

}  // namespace

TEST(AnswerParts, RowsOverThePartSizeFollowTheAnswerCutBetweenRowsAndReadBackWhole) {
    const struct {
        size_t resultRows, argumentRows, partBytes, frames;
    } cases[] = {
        {0, 0, 0, 1},       // no rows take no bytes: nothing follows
        {10, 0, 1000, 1},   // exactly the part size stays in the answer
        {10, 0, 999, 2},    // one byte more follows, in one part
        {11, 0, 1000, 3},   // a part closes at the row that reaches the size
        {25, 30, 1000, 7},  // the result's packet first, then the argument's
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.resultRows) + "+" + std::to_string(c.argumentRows) + " rows, parts of " +
                     std::to_string(c.partBytes));
        const DataPacket inResult = rowsOf100Bytes(c.resultRows, 'r'),
                         inArguments = rowsOf100Bytes(c.argumentRows, 'a');
        std::vector<std::string> frames;
        responseInParts(7, Outcome{true, Variant::Array{true, inResult}, {inArguments, "x"}}, c.partBytes,
                        [&](std::string frame) { frames.push_back(std::move(frame)); });
        ASSERT_EQ(frames.size(), c.frames);
        codec::RowsToCome toCome;
        const Response response = readResponse(codec::decode(bodyOf(frames[0]), {}, toCome));
        for (size_t i = 1; i < frames.size(); ++i) {
            EXPECT_LT(bodyOf(frames[i]).size(), c.partBytes + 100 + 3);
            toCome.add(bodyOf(frames[i]));
        }
        EXPECT_TRUE(toCome.done());
        EXPECT_EQ(response.result.array().at(1).packet(), inResult);
        EXPECT_EQ(response.args.at(0).packet(), inArguments);
        EXPECT_EQ(response.args.at(1), Variant("x"));
    }
}

TEST(AnswerParts, AListLargerThanTheFrameLimitComesWholeOnlyToClientsThatAskedForParts) {
    Dispatcher dispatcher;
    dispatcher.add("Teste", "Lista", {ArgType::Number},
                   [](std::vector<Variant>& args) { return Variant(list(args[0].asInt())); });
    addEcho(dispatcher);
    constexpr size_t kFrameLimit = 6u << 20;
    static_assert(parts::kPartBytes < kFrameLimit);
    ServerOptions options;
    options.maxFrameBytes = kFrameLimit;
    auto server = startServer(dispatcher, options);
    const int64_t rows = 30000;  // some 9 MB of packet
    const DataPacket expected = list(rows);

    const struct {
        bool compression, inParts;
        size_t maxAnswerBytes;
        const char* refusal;  // empty: the list comes whole
    } cases[] = {
        {false, false, size_t(1) << 30, "não enviada: quadro de"},
        {false, true, size_t(1) << 30, ""},
        {true, true, size_t(1) << 30, ""},
        {false, true, 7u << 20, "resposta em partes acima de 7340032 bytes"},
        // The bound is on what the parts expand to: compressed, they take far less on the wire.
        {true, true, 7u << 20, "resposta em partes acima de 7340032 bytes"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.compression ? "zstd, " : "") + (c.inParts ? "parts" : "whole"));
        Endpoint endpoint = endpointOf(*server);
        endpoint.maxFrameBytes = kFrameLimit;
        endpoint.compression = c.compression;
        endpoint.answersInParts = c.inParts;
        endpoint.maxAnswerBytes = c.maxAnswerBytes;
        Client client;
        client.connect(endpoint);
        std::vector<Variant> args{rows};
        try {
            const Variant answer = client.call("Teste", "Lista", args);
            EXPECT_EQ(c.refusal, std::string()) << "accepted";
            EXPECT_EQ(answer.array().at(1).packet(), expected);
        } catch (const std::runtime_error& e) {
            EXPECT_NE(std::string(e.what()).find(c.refusal), std::string::npos) << e.what();
            EXPECT_NE(c.refusal, std::string());
        }
        // The connection goes on, or is made again, for the next call.
        std::vector<Variant> small{"depois"};
        EXPECT_EQ(client.call("Teste", "Eco", small), Variant(Variant::Array{true, "depois"}));
    }
}
