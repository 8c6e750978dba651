#include "host/session/ServerOutcome.h"

#include "core/Errors.h"
#include "host/models/Convert.h"

namespace krv::host {

namespace {
constexpr const char* kInvalidAnswer = "Resposta inválida do servidor";
}

bool ServerSucceeded(const Variant& result, Variant& value) {
    const bool wellFormed = result.type() == Variant::Type::Array && result.array().size() == 2 &&
                            result.array()[0].type() == Variant::Type::Bool;
    if (!wellFormed) throw EServerError(kInvalidAnswer);
    value = result.array()[1];
    return result.array()[0].asBool();
}

Variant ServerPayload(const Variant& result) {
    Variant value;
    if (!ServerSucceeded(result, value)) throw EServerError(ToStd(ToQString(value)));
    return value;
}

QString ListNumber(const Variant& payload) {
    if (payload.type() != Variant::Type::Array || payload.array().empty()) throw EServerError(kInvalidAnswer);
    return ToQString(payload.array().front());
}

}  // namespace krv::host
