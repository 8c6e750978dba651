#include "rpc/Dispatcher.h"

namespace krv::rpc {
namespace {

// Object names contain dots ("KRV52000.rdmPedReq"), so the key joins the two names
// with a byte no name uses.
std::string keyOf(std::string_view object, std::string_view method) {
    std::string key;
    key.reserve(object.size() + method.size() + 1);
    key.append(object).push_back('\0');
    key.append(method);
    return key;
}

bool accepts(ArgType expected, const Variant& value) {
    switch (expected) {
        case ArgType::Any:
            return true;
        case ArgType::String:
            return value.isString();
        case ArgType::Date:
            return value.type() == Variant::Type::DateTime;
        case ArgType::Number:
            return value.isNumber();
        case ArgType::Packet:
            return value.type() == Variant::Type::Packet;
    }
    return false;
}

const char* nameOf(ArgType type) {
    switch (type) {
        case ArgType::Any:
            return "qualquer valor";
        case ArgType::String:
            return "texto";
        case ArgType::Date:
            return "data";
        case ArgType::Number:
            return "número";
        case ArgType::Packet:
            return "pacote de dados";
    }
    return "?";
}

const char* nameOf(Variant::Type type) {
    switch (type) {
        case Variant::Type::Null:
            return "nulo";
        case Variant::Type::Bool:
            return "lógico";
        case Variant::Type::Int:
            return "número inteiro";
        case Variant::Type::Double:
            return "número";
        case Variant::Type::String:
            return "texto";
        case Variant::Type::DateTime:
            return "data";
        case Variant::Type::Array:
            return "lista";
        case Variant::Type::Packet:
            return "pacote de dados";
    }
    return "?";
}

// Empty when the arguments fit the signature.
std::string signatureProblem(const std::vector<ArgType>& signature, size_t optional, const std::vector<Variant>& args) {
    if (args.size() > signature.size() || args.size() + optional < signature.size()) {
        const std::string expected = optional ? std::to_string(signature.size() - optional) + " a " : "";
        return "número de argumentos inválido (esperados " + expected + std::to_string(signature.size()) +
               ", recebidos " + std::to_string(args.size()) + ")";
    }
    for (size_t i = 0; i < args.size(); ++i) {
        if (!accepts(signature[i], args[i]))
            return "argumento " + std::to_string(i + 1) + " deve ser " + nameOf(signature[i]) + ", recebido " +
                   nameOf(args[i].type());
    }
    return {};
}

Outcome refused(std::string text, std::vector<Variant> args) {
    return Outcome{false, Variant(std::move(text)), std::move(args)};
}

}  // namespace

void Dispatcher::add(const std::string& object, const std::string& method, std::vector<ArgType> signature, Method fn,
                     size_t optional) {
    add(Access::Reads, object, method, std::move(signature), std::move(fn), optional);
}

void Dispatcher::add(const std::string& object, const std::string& method, std::vector<ArgType> signature,
                     CallerMethod fn, size_t optional) {
    add(Access::Reads, object, method, std::move(signature), std::move(fn), optional);
}

void Dispatcher::add(Access access, const std::string& object, const std::string& method,
                     std::vector<ArgType> signature, Method fn, size_t optional) {
    add(access, object, method, std::move(signature),
        CallerMethod([fn = std::move(fn)](const Caller&, std::vector<Variant>& args) { return fn(args); }), optional);
}

void Dispatcher::add(Access access, const std::string& object, const std::string& method,
                     std::vector<ArgType> signature, CallerMethod fn, size_t optional) {
    methods_[keyOf(object, method)] = Entry{std::move(signature), std::move(fn), optional, access};
}

Access Dispatcher::access(std::string_view object, std::string_view method) const {
    const auto found = methods_.find(keyOf(object, method));
    return found == methods_.end() ? Access::Reads : found->second.access;
}

Outcome Dispatcher::dispatch(const Caller& caller, const std::string& object, const std::string& method,
                             std::vector<Variant> args) const {
    const std::string name = object + "." + method;
    const auto found = methods_.find(keyOf(object, method));
    if (found == methods_.end()) {
        const std::string objectPrefix = keyOf(object, "");
        const auto next = methods_.lower_bound(objectPrefix);
        const bool objectKnown = next != methods_.end() && next->first.starts_with(objectPrefix);
        return refused(objectKnown ? "Método desconhecido: " + name : "Objeto desconhecido: " + object,
                       std::move(args));
    }
    const Entry& entry = found->second;
    if (std::string problem = signatureProblem(entry.signature, entry.optional, args); !problem.empty())
        return refused(name + ": " + problem, std::move(args));

    // The method works on a copy: a call that fails inside it sends the caller's values back
    // untouched, while a domain failure keeps what the method left, like a success does.
    std::vector<Variant> working = args;
    try {
        Variant payload = entry.fn(caller, working);
        return Outcome{true, Variant(Variant::Array{true, std::move(payload)}), std::move(working)};
    } catch (const MethodFailure& failure) {
        return Outcome{true, Variant(Variant::Array{false, failure.what()}), std::move(working)};
    } catch (const std::exception& error) {
        return refused(std::string("Erro interno: ") + error.what(), std::move(args));
    } catch (...) {
        return refused("Erro interno: exceção desconhecida", std::move(args));
    }
}

}  // namespace krv::rpc
