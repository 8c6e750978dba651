#include "call/CallReport.h"

#include "core/PacketCsv.h"
#include "call/JsonText.h"
#include "call/ValueText.h"

namespace krv::call {
namespace {

bool isOutcomePair(const Variant& result) {
    return result.type() == Variant::Type::Array && result.array().size() == 2 &&
           result.array()[0].type() == Variant::Type::Bool;
}

std::string withNewline(std::string text) {
    if (text.empty() || text.back() != '\n') text += '\n';
    return text;
}

std::string textReport(const Variant& payload, const std::vector<Variant>& args) {
    std::string out = payload.isNull() ? std::string() : withNewline(plainText(payload));
    for (size_t i = 0; i < args.size(); ++i) {
        const char* gap = args[i].type() == Variant::Type::Packet ? "\n" : " ";
        out += "arg " + std::to_string(i + 1) + ":" + gap + withNewline(plainText(args[i]));
    }
    return out;
}

}  // namespace

CallReport reportOutcome(const Variant& result, const std::vector<Variant>& args, Output output) {
    const Variant* payload = &result;
    if (isOutcomePair(result)) {
        if (!result.array()[0].asBool())
            return CallReport{kExitServerFailure, {}, withNewline(result.array()[1].asString())};
        payload = &result.array()[1];
    }
    if (output == Output::Json) return CallReport{kExitOk, jsonReport(*payload, args), {}};
    if (output == Output::Csv && payload->type() == Variant::Type::Packet)
        return CallReport{kExitOk, csvText(payload->packet()), {}};
    return CallReport{kExitOk, textReport(*payload, args), {}};
}

}  // namespace krv::call
