#include "server/checks/Arguments.h"

#include <cmath>

#include "core/Text.h"
#include "rpc/Dispatcher.h"

namespace krv::server {

namespace {

[[noreturn]] void fail(const std::string& what, const std::string& problem) { refuse(what + " " + problem); }

const std::string& requireString(const Variant& value, const std::string& what) {
    if (!value.isString()) fail(what, "deve ser um texto.");
    return value.str();
}

}  // namespace

void refuse(const std::string& message) { throw rpc::MethodFailure(message); }

bool isLetterOrDigit(unsigned char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

bool isCode(std::string_view text, size_t maxChars) {
    if (text.empty() || text.size() > maxChars) return false;
    for (unsigned char c : text)
        if (!isLetterOrDigit(c)) return false;
    return true;
}

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

std::string requireOperator(const Variant& value, const rpc::Caller& caller) {
    const std::string name = requireText(value, "Operador", 30, false);
    if (caller.operatorName.empty())
        refuse("Operador " + name + " não pode ser usado numa sessão sem operador: entre com operador e senha.");
    if (name != caller.operatorName)
        refuse("Operador " + name + " não é o operador desta sessão (" + caller.operatorName + ").");
    return name;
}

std::string requireCode(const Variant& value, const char* what, size_t maxChars) {
    const std::string& code = requireString(value, what);
    if (code.empty()) fail(what, "deve ser informado.");
    for (unsigned char c : code)
        if (!isLetterOrDigit(c)) fail(what, "deve conter apenas letras e números.");
    if (code.size() > maxChars) fail(what, "deve ter no máximo " + std::to_string(maxChars) + " caracteres.");
    return code;
}

std::optional<std::vector<std::string>> requireKeys(const Variant& value, const std::string& what,
                                                    const KeyListWording& wording) {
    const std::string& text = requireString(value, what);
    if (text == "T") return std::nullopt;
    if (text.empty() || text == "_") fail(what, wording.missing ? wording.missing : wording.shape);
    if (text.front() != '_' || text.back() != '_') fail(what, wording.shape);
    std::vector<std::string> keys;
    for (size_t start = 1; start < text.size();) {
        const size_t end = text.find('_', start);
        keys.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return keys;
}

std::optional<std::set<std::string>> requireSelection(const Variant& value, const char* what, size_t maxKeyChars) {
    return requireKeyList<std::string>(value, what, kSelectionWording, [&](const std::string& key) {
        if (key.empty()) fail(what, "contém uma chave vazia.");
        for (unsigned char c : key)
            if (!isLetterOrDigit(c)) fail(what, "deve conter apenas letras e números em cada chave.");
        if (key.size() > maxKeyChars)
            fail(what, "contém uma chave com mais de " + std::to_string(maxKeyChars) + " caracteres.");
        return key;
    });
}

std::optional<GroupingKey> groupingKey(std::string_view key) {
    constexpr size_t kGroupChars = 10;
    if (key.size() <= kGroupChars) return std::nullopt;
    const std::string_view padded = key.substr(0, kGroupChars);
    const std::string_view group = padded.substr(0, padded.find_last_not_of(' ') + 1);
    const std::string_view grouping = key.substr(kGroupChars);
    if (!isCode(group, kGroupChars) || !isCode(grouping, kGroupChars)) return std::nullopt;
    return GroupingKey{std::string(group), std::string(grouping)};
}

std::optional<std::set<GroupingKey>> requireGroupingSelection(const Variant& value) {
    constexpr const char* kWhat = "Seleção de agrupamentos";
    return requireKeyList<GroupingKey>(value, kWhat, kSelectionWording, [](const std::string& key) {
        const auto grouping = groupingKey(key);
        if (!grouping)
            fail(kWhat, "deve ter, em cada chave, o grupo completado com brancos até 10 caracteres e o agrupamento.");
        return *grouping;
    });
}

std::string requireChoice(const Variant& value, const std::string& what, const std::vector<std::string>& choices) {
    std::string allowed;
    for (const std::string& choice : choices) {
        if (value.isString() && value.str() == choice) return choice;
        allowed += (allowed.empty() ? "\"" : " ou \"") + choice + "\"";
    }
    fail(what, "deve ser " + allowed + ".");
}

bool requireFlag(const Variant& value, const std::string& what) {
    return requireChoice(value, what, {"S", "N"}) == "S";
}

DateTime requireDay(const Variant& value, const std::string& what) {
    if (value.type() != Variant::Type::DateTime || value.asDateTime().secondOfDay() != 0)
        fail(what, "deve ser uma data.");
    return value.asDateTime();
}

std::optional<int64_t> requireListNumber(const Variant& value, const char* what, bool mayBeEmpty) {
    // 18 digits always fit in 64 bits.
    constexpr size_t kMaxDigits = 18;
    const std::string& text = requireString(value, what);
    if (text.empty()) {
        if (mayBeEmpty) return std::nullopt;
        fail(what, "deve ser informado.");
    }
    for (unsigned char c : text)
        if (c < '0' || c > '9') fail(what, "deve conter apenas dígitos.");
    if (text.size() > kMaxDigits) fail(what, "deve ter no máximo " + std::to_string(kMaxDigits) + " dígitos.");
    return std::stoll(text);
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

Period requirePeriod(const Variant& start, const Variant& end, int maxDays) {
    if (start.type() != Variant::Type::DateTime) fail("Data inicial", "deve ser uma data.");
    if (end.type() != Variant::Type::DateTime) fail("Data final", "deve ser uma data.");
    const Period period{start.asDateTime().date(), end.asDateTime().date()};
    if (period.end < period.start) fail("Data inicial", "deve ser menor ou igual a data final.");
    if (maxDays > 0 && period.end.seconds - period.start.seconds >= int64_t(maxDays) * 86400)
        refuse("O período deve ter no máximo " + std::to_string(maxDays) + " dias.");
    return period;
}

}  // namespace krv::server
