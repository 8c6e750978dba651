#include "server/Arguments.h"

#include <cmath>

#include "core/Text.h"
#include "rpc/Dispatcher.h"

namespace krv::server {

namespace {

[[noreturn]] void fail(const char* what, const std::string& problem) {
    throw rpc::MethodFailure(std::string(what) + " " + problem);
}

bool isAsciiLetterOrDigit(unsigned char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

const std::string& requireString(const Variant& value, const char* what) {
    if (!value.isString()) fail(what, "deve ser um texto.");
    return value.str();
}

}  // namespace

size_t utf8Length(std::string_view text) {
    if (!isValidUtf8(text)) return std::string_view::npos;
    size_t characters = 0;
    for (unsigned char c : text) characters += (c & 0xC0) != 0x80;  // continuation bytes add none
    return characters;
}

std::string requireText(const Variant& value, const char* what, size_t maxChars, bool mayBeEmpty) {
    const std::string& text = requireString(value, what);
    if (text.empty() && !mayBeEmpty) fail(what, "deve ser informado.");
    const size_t characters = utf8Length(text);
    if (characters == std::string_view::npos || text.find('\0') != std::string::npos)
        fail(what, "contém caracteres inválidos.");
    if (characters > maxChars) fail(what, "deve ter no máximo " + std::to_string(maxChars) + " caracteres.");
    return text;
}

std::string requireCode(const Variant& value, const char* what, size_t maxChars) {
    const std::string& code = requireString(value, what);
    if (code.empty()) fail(what, "deve ser informado.");
    for (unsigned char c : code)
        if (!isAsciiLetterOrDigit(c)) fail(what, "deve conter apenas letras e números.");
    if (code.size() > maxChars) fail(what, "deve ter no máximo " + std::to_string(maxChars) + " caracteres.");
    return code;
}

int64_t requireInteger(const Variant& value, const char* what, int64_t min, int64_t max) {
    int64_t number;
    if (value.type() == Variant::Type::Int) {
        number = value.asInt();
    } else if (value.type() == Variant::Type::Double) {
        const double d = value.asDouble();
        if (!std::isfinite(d) || d != std::trunc(d) || std::fabs(d) > 9.0e15) fail(what, "deve ser um número inteiro.");
        number = int64_t(d);
    } else {
        fail(what, "deve ser um número inteiro.");
    }
    if (number < min || number > max)
        fail(what, "deve estar entre " + std::to_string(min) + " e " + std::to_string(max) + ".");
    return number;
}

}  // namespace krv::server
