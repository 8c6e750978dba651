#include <gtest/gtest.h>

#include <zstd.h>

#include "Loopback.h"
#include "core/Codec.h"
#include "rpc/Compression.h"
#include "rpc/Frame.h"

using namespace krv;
using namespace krv::rpc;
using namespace krv::rpc::test;

namespace {

// A compressed body as a peer would send it, with whatever size it claims.
std::string compressedBody(const std::string& plain, size_t claimed) {
    ZSTD_CCtx* context = ZSTD_createCCtx();
    ZSTD_CCtx_setParameter(context, ZSTD_c_checksumFlag, 1);
    std::string packed(ZSTD_compressBound(plain.size()), '\0');
    packed.resize(ZSTD_compress2(context, packed.data(), packed.size(), plain.data(), plain.size()));
    ZSTD_freeCCtx(context);
    std::string body(1, char(0xc1));
    for (int shift = 24; shift >= 0; shift -= 8) body += char((claimed >> shift) & 0xff);
    return body + packed;
}

std::string bodyOf(const std::string& frame) { return frame.substr(frame::kHeaderBytes); }

// A text that compresses well, as the rows of a long list do.
std::string rows(size_t bytes) {
    std::string text;
    for (size_t i = 0; text.size() < bytes; ++i) text += "0001 2026-03-" + std::to_string(10 + i % 20) + " ALMOCO;";
    return text.substr(0, bytes);
}

}  // namespace

TEST(Compression, OnlyLargeFramesThatShrinkTravelCompressed) {
    const std::string small = requestFrame(1, "Teste", "Eco", {rows(compression::kThresholdBytes - 100)});
    EXPECT_EQ(compression::compressFrame(small), small);
    const std::string large = requestFrame(1, "Teste", "Eco", {rows(compression::kThresholdBytes)});
    const std::string packed = compression::compressFrame(large);
    EXPECT_TRUE(compression::isCompressed(bodyOf(packed)));
    EXPECT_LT(packed.size() * 3, large.size());
    EXPECT_EQ(compression::decompress(bodyOf(packed), bodyOf(large).size()), bodyOf(large));
    // Noise does not shrink: it goes as it was.
    std::string noise(64u << 10, '\0');
    uint32_t seed = 12345;
    for (char& c : noise) c = char((seed = seed * 1103515245u + 12345u) >> 24);
    std::string noisy = frame::begin() + noise;
    frame::finish(noisy);
    EXPECT_EQ(compression::compressFrame(noisy), noisy);
}

TEST(Compression, ABodyThatWouldExpandPastItsBoundsOrIsCorruptIsRefused) {
    const std::string plain = rows(100000);
    const std::string zeros(2'000'000, '\0');
    std::string corrupt = compressedBody(plain, plain.size());
    corrupt[corrupt.size() / 2] ^= 0x5a;
    const size_t packedSize = corrupt.size() - 5;
    const struct {
        std::string body;
        size_t limit;
        std::string refusal;  // empty: accepted
    } cases[] = {
        {compressedBody(plain, plain.size()), plain.size(), ""},
        {compressedBody(plain, plain.size()), plain.size() - 1,
         "conteúdo descomprimido: quadro de 100000 bytes excede o limite de 99999 bytes"},
        {compressedBody(zeros, zeros.size()), 64u << 20, "mais de 1000 vezes"},
        {compressedBody(plain, plain.size() - 1), plain.size(), "quadro comprimido inválido"},
        {compressedBody(plain, plain.size() + 1), plain.size() + 1, "quadro comprimido inválido"},
        {corrupt, plain.size(), "quadro comprimido inválido"},
        {std::string("\xc1\0\0\0\1", 5), 1000, "quadro comprimido sem conteúdo"},
        // The ratio's bound exactly: refused only as data that does not expand to what it claims.
        {compressedBody(plain, packedSize * compression::kMaxRatio), 64u << 20, "quadro comprimido inválido"},
        {compressedBody(plain, packedSize * compression::kMaxRatio + 1), 64u << 20, "mais de 1000 vezes"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.refusal);
        try {
            EXPECT_EQ(compression::decompress(c.body, c.limit), plain);
            EXPECT_EQ(c.refusal, "") << "accepted";
        } catch (const compression::Invalid& e) {
            EXPECT_NE(c.refusal, "");
            EXPECT_NE(std::string(e.what()).find(c.refusal), std::string::npos) << e.what();
        }
    }
}

TEST(Compression, AgreedAtLoginLargeFramesTravelCompressedBothWaysAndOthersCloseTheConnection) {
    Dispatcher dispatcher;
    addEcho(dispatcher);
    ServerLog log;
    ServerOptions options;
    options.log = log.sink();
    auto server = startServer(dispatcher, options);
    const std::string big = rows(1u << 20);

    // A client that asks for it gets back what it sent.
    Endpoint endpoint = endpointOf(*server);
    endpoint.compression = true;
    Client client;
    client.connect(endpoint);
    std::vector<Variant> args{big};
    EXPECT_EQ(client.call("Teste", "Eco", args), Variant(Variant::Array{true, big}));

    // On the wire: agreed, a compressed request is answered compressed.
    RawConnection agreed(server->port());
    agreed.send(requestFrame(1, compression::kObject, compression::kMethod, {compression::kName}));
    const auto answer = agreed.receive();
    ASSERT_TRUE(answer);
    EXPECT_TRUE(answer->ok);
    agreed.send(compression::compressFrame(requestFrame(2, "Teste", "Eco", {big})));
    const std::string header = agreed.receiveBytes(frame::kHeaderBytes);
    ASSERT_EQ(header.size(), frame::kHeaderBytes);
    frame::Header bytes;
    std::copy_n(header.begin(), frame::kHeaderBytes, bytes.begin());
    const std::string body = agreed.receiveBytes(frame::bodyLength(bytes));
    EXPECT_LT(body.size() * 3, big.size());
    const Response echoed = readResponse(codec::decode(compression::decompress(body, 64u << 20)));
    EXPECT_EQ(echoed.args, std::vector<Variant>{big});

    // Not agreed, or not decompressible: the connection is closed and the server says why.
    const struct {
        bool agree;
        std::string body;
        std::string logged;
    } refused[] = {
        {false, bodyOf(compression::compressFrame(requestFrame(3, "Teste", "Eco", {big}))),
         "quadro comprimido sem compressão combinada após o login"},
        {true, compressedBody(rows(1000), 2'000'000), "mais de 1000 vezes"},
        {true, compressedBody(rows(1000), 999), "quadro comprimido inválido"},
    };
    for (const auto& r : refused) {
        RawConnection raw(server->port());
        if (r.agree) {
            raw.send(requestFrame(1, compression::kObject, compression::kMethod, {compression::kName}));
            ASSERT_TRUE(raw.receive());
        }
        raw.send(framed(r.body));
        EXPECT_TRUE(raw.closedByServer()) << r.logged;
        EXPECT_TRUE(log.waitFor(r.logged)) << r.logged;
    }
    EXPECT_EQ(client.call("Teste", "Eco", args), Variant(Variant::Array{true, big})) << "the others go on";
}
