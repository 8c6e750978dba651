#include "rpc/Compression.h"

#include <zstd.h>

#include <cstdint>
#include <memory>

#include "rpc/Frame.h"

namespace krv::rpc::compression {

namespace {

constexpr unsigned char kMark = 0xc1;
constexpr size_t kPrefixBytes = 5;  // the mark and the uncompressed size
// Fast enough that compressing a large answer costs less than sending it uncompressed on loopback.
constexpr int kLevel = 1;

}  // namespace

bool isCompressed(std::string_view body) { return !body.empty() && static_cast<unsigned char>(body[0]) == kMark; }

std::string compressFrame(std::string frame) {
    const std::string_view body = std::string_view(frame).substr(frame::kHeaderBytes);
    if (body.size() < kThresholdBytes || body.size() > UINT32_MAX) return frame;
    std::string packed = frame::begin();
    const size_t start = packed.size();
    packed.resize(start + kPrefixBytes + ZSTD_compressBound(body.size()));
    // The checksum makes damaged data an error rather than other bytes of the same size.
    const std::unique_ptr<ZSTD_CCtx, size_t (*)(ZSTD_CCtx*)> context(ZSTD_createCCtx(), ZSTD_freeCCtx);
    ZSTD_CCtx_setParameter(context.get(), ZSTD_c_compressionLevel, kLevel);
    ZSTD_CCtx_setParameter(context.get(), ZSTD_c_checksumFlag, 1);
    const size_t size = ZSTD_compress2(context.get(), packed.data() + start + kPrefixBytes,
                                       packed.size() - start - kPrefixBytes, body.data(), body.size());
    if (ZSTD_isError(size) || kPrefixBytes + size >= body.size() || body.size() > size * kMaxRatio) return frame;
    packed.resize(start + kPrefixBytes + size);
    packed[start] = char(kMark);
    for (int i = 0; i < 4; ++i) packed[start + 1 + size_t(i)] = char((body.size() >> (24 - 8 * i)) & 0xff);
    frame::finish(packed);
    return packed;
}

std::string decompress(std::string_view body, size_t limit) {
    if (body.size() <= kPrefixBytes) throw Invalid("quadro comprimido sem conteúdo");
    size_t claimed = 0;
    for (size_t i = 1; i < kPrefixBytes; ++i) claimed = (claimed << 8) | static_cast<unsigned char>(body[i]);
    const size_t packed = body.size() - kPrefixBytes;
    if (claimed > limit) throw Invalid("conteúdo descomprimido: " + frame::oversizeText(claimed, limit));
    if (claimed > packed * kMaxRatio)
        throw Invalid("quadro comprimido de " + std::to_string(packed) + " bytes diz expandir para " +
                      std::to_string(claimed) + " bytes, mais de " + std::to_string(kMaxRatio) + " vezes");
    std::string out(claimed, '\0');
    const size_t size = ZSTD_decompress(out.data(), out.size(), body.data() + kPrefixBytes, packed);
    if (ZSTD_isError(size)) throw Invalid(std::string("quadro comprimido inválido: ") + ZSTD_getErrorName(size));
    if (size != claimed)
        throw Invalid("quadro comprimido inválido: " + std::to_string(size) + " bytes em vez de " +
                      std::to_string(claimed));
    return out;
}

}  // namespace krv::rpc::compression
