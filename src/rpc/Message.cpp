#include "rpc/Message.h"

#include <algorithm>

#include <msgpack.hpp>

#include "core/Codec.h"
#include "core/Errors.h"
#include "rpc/Frame.h"

namespace krv::rpc {
namespace {

constexpr std::string_view kAuthTag = "auth";

// Lets msgpack's packer append to the frame buffer, so arguments are encoded in place
// instead of being copied into one big Variant first.
struct FrameSink {
    std::string& out;
    void write(const char* data, size_t size) { out.append(data, size); }
};

class FrameWriter {
public:
    FrameWriter() : frame_(frame::begin()), sink_{frame_}, packer_(sink_) {}

    FrameWriter& array(size_t size) {
        packer_.pack_array(uint32_t(size));
        return *this;
    }
    FrameWriter& integer(int64_t value) {
        packer_.pack_int64(value);
        return *this;
    }
    FrameWriter& boolean(bool value) {
        value ? packer_.pack_true() : packer_.pack_false();
        return *this;
    }
    // Through the codec, so names get the same UTF-8 check as every other text.
    FrameWriter& text(std::string_view value) { return this->value(Variant(std::string(value))); }
    FrameWriter& value(const Variant& value) {
        codec::encodeTo(frame_, value);
        return *this;
    }
    FrameWriter& values(const std::vector<Variant>& values) {
        array(values.size());
        for (const Variant& v : values) value(v);
        return *this;
    }
    // With the rows of large packets left out, to follow.
    FrameWriter& value(const Variant& value, size_t above, std::vector<codec::FollowingRows>& following) {
        codec::encodeTo(frame_, value, above, following);
        return *this;
    }
    FrameWriter& values(const std::vector<Variant>& values, size_t above,
                        std::vector<codec::FollowingRows>& following) {
        array(values.size());
        for (const Variant& v : values) value(v, above, following);
        return *this;
    }
    // Bytes already in MessagePack.
    FrameWriter& encoded(std::string_view bytes) {
        frame_ += bytes;
        return *this;
    }
    std::string finish() {
        frame::finish(frame_);
        return std::move(frame_);
    }

private:
    std::string frame_;
    FrameSink sink_;
    msgpack::packer<FrameSink> packer_;
};

[[noreturn]] void malformed(const std::string& what) { throw EDecodeError(what); }

Variant::Array& arrayOf(Variant& body, size_t size, const char* name) {
    if (body.type() != Variant::Type::Array || body.array().size() != size)
        malformed(std::string(name) + " deve ser uma lista de " + std::to_string(size) + " elementos");
    return body.array();
}

int64_t integerAt(const Variant::Array& items, size_t index, const char* what) {
    if (items[index].type() != Variant::Type::Int) malformed(std::string(what) + " deve ser um número inteiro");
    return items[index].asInt();
}

const std::string& textAt(const Variant::Array& items, size_t index, const char* what) {
    if (!items[index].isString()) malformed(std::string(what) + " deve ser um texto");
    return items[index].str();
}

std::vector<Variant> argumentsAt(Variant::Array& items, size_t index) {
    if (items[index].type() != Variant::Type::Array) malformed("os argumentos devem ser uma lista");
    return std::move(items[index].array());
}

bool isAuthMessage(const Variant& body) {
    return body.type() == Variant::Type::Array && body.array().size() == 2 && body.array()[0].isString() &&
           body.array()[0].str() == kAuthTag;
}

}  // namespace

std::string requestFrame(int64_t id, std::string_view object, std::string_view method,
                         const std::vector<Variant>& args) {
    return FrameWriter().array(5).integer(kRequestKind).integer(id).text(object).text(method).values(args).finish();
}

std::string responseFrame(int64_t id, const Outcome& outcome) {
    return FrameWriter().array(4).integer(id).boolean(outcome.ok).value(outcome.result).values(outcome.args).finish();
}

void responseInParts(int64_t id, const Outcome& outcome, size_t partBytes,
                     const std::function<void(std::string)>& send) {
    std::vector<codec::FollowingRows> following;
    send(FrameWriter()
             .array(4)
             .integer(id)
             .boolean(outcome.ok)
             .value(outcome.result, partBytes, following)
             .values(outcome.args, partBytes, following)
             .finish());
    for (codec::FollowingRows& rows : following) {
        size_t first = 0, begin = 0;
        for (size_t r = 0; r < rows.ends.size(); ++r) {
            if (rows.ends[r] - begin < partBytes && r + 1 < rows.ends.size()) continue;
            const std::string_view part = std::string_view(rows.bytes).substr(begin, rows.ends[r] - begin);
            send(FrameWriter().array(r + 1 - first).encoded(part).finish());
            first = r + 1;
            begin = rows.ends[r];
        }
        std::string().swap(rows.bytes);
    }
}

std::string authFrame(std::string_view token) { return FrameWriter().array(2).text(kAuthTag).text(token).finish(); }

std::string authFrame(std::string_view operatorName, std::string_view password) {
    return FrameWriter().array(3).text(kAuthTag).text(operatorName).text(password).finish();
}

std::string authAnswerFrame(bool accepted) { return FrameWriter().array(2).text(kAuthTag).boolean(accepted).finish(); }

Request readRequest(Variant body) {
    Variant::Array& items = arrayOf(body, 5, "o pedido");
    if (integerAt(items, 0, "o tipo do pedido") != kRequestKind)
        malformed("tipo de pedido desconhecido: " + items[0].asString());
    Request request;
    request.id = integerAt(items, 1, "o identificador do pedido");
    request.object = textAt(items, 2, "o objeto");
    request.method = textAt(items, 3, "o método");
    request.args = argumentsAt(items, 4);
    return request;
}

Response readResponse(Variant body) {
    Variant::Array& items = arrayOf(body, 4, "a resposta");
    Response response;
    response.id = integerAt(items, 0, "o identificador da resposta");
    if (items[1].type() != Variant::Type::Bool) malformed("o indicador de sucesso deve ser lógico");
    response.ok = items[1].asBool();
    if (!response.ok && !items[2].isString()) malformed("o erro de uma chamada recusada deve ser um texto");
    response.result = std::move(items[2]);
    response.args = argumentsAt(items, 3);
    return response;
}

std::optional<AuthRequest> readAuth(const Variant& body) {
    if (body.type() != Variant::Type::Array) return std::nullopt;
    const Variant::Array& items = body.array();
    const bool allText = std::all_of(items.begin(), items.end(), [](const Variant& item) { return item.isString(); });
    if (!allText || items.empty() || items[0].str() != kAuthTag) return std::nullopt;
    if (items.size() == 2) return AuthRequest{items[1].str(), {}, {}};
    if (items.size() == 3) return AuthRequest{std::nullopt, items[1].str(), items[2].str()};
    return std::nullopt;
}

std::optional<bool> readAuthAnswer(const Variant& body) {
    if (!isAuthMessage(body) || body.array()[1].type() != Variant::Type::Bool) return std::nullopt;
    return body.array()[1].asBool();
}

}  // namespace krv::rpc
