#include "call/CallArguments.h"

#include <charconv>
#include <cmath>

namespace krv::call {

const char* const kUsageText =
    "uso: krv-call --server HOST:PORTA [--token-file ARQUIVO] [--timeout MS] [--json | --csv] OBJETO METODO [ARG...]\n"
    "  ARG: texto | date:AAAA-MM-DD | num:10.5 | int:3 | null | str:TEXTO (texto literal)\n"
    "  --csv: um pacote de dados como CSV para planilha (\";\", vírgula decimal, UTF-8 com BOM)\n";

namespace {

template <class Number>
bool parseWhole(std::string_view text, Number& out) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), out);
    return !text.empty() && error == std::errc() && end == text.data() + text.size();
}

std::string_view after(const std::string& word, std::string_view prefix) {
    return std::string_view(word).substr(prefix.size());
}

void parseServer(const std::string& text, rpc::Endpoint& endpoint) {
    try {
        const rpc::HostPort server = rpc::parseEndpoint(text);
        endpoint.host = server.host;
        endpoint.port = server.port;
    } catch (const std::invalid_argument& e) {
        throw UsageError(std::string("--server: ") + e.what());
    }
}

std::chrono::milliseconds parseTimeout(const std::string& text) {
    int64_t ms = 0;
    if (!parseWhole(std::string_view(text), ms) || ms <= 0)
        throw UsageError("Tempo limite inválido '" + text + "': informe milissegundos maiores que zero");
    return std::chrono::milliseconds(ms);
}

}  // namespace

Variant parseArgument(const std::string& word) {
    if (word == "null") return Variant();
    if (word.starts_with("str:")) return Variant(std::string(after(word, "str:")));
    if (word.starts_with("date:")) {
        const std::optional<DateTime> date = DateTime::parseIso(std::string(after(word, "date:")));
        if (!date) throw UsageError("Data inválida '" + word + "': use date:AAAA-MM-DD");
        return Variant(*date);
    }
    if (word.starts_with("num:")) {
        double value = 0;
        if (!parseWhole(after(word, "num:"), value) || !std::isfinite(value))
            throw UsageError("Número inválido '" + word + "': use num:10.5");
        return Variant(value);
    }
    if (word.starts_with("int:")) {
        int64_t value = 0;
        if (!parseWhole(after(word, "int:"), value)) throw UsageError("Inteiro inválido '" + word + "': use int:3");
        return Variant(value);
    }
    return Variant(word);
}

CallRequest parseCommandLine(const std::vector<std::string>& words) {
    CallRequest request;
    bool haveServer = false;
    size_t i = 0;
    auto valueOf = [&](const std::string& option) -> const std::string& {
        if (i + 1 >= words.size()) throw UsageError("Falta o valor de " + option);
        return words[++i];
    };
    // Options come first; from OBJECT on every word is positional, so an argument
    // may itself start with "--".
    for (; i < words.size() && words[i].starts_with("--"); ++i) {
        const std::string& option = words[i];
        if (option == "--server") {
            parseServer(valueOf(option), request.endpoint);
            haveServer = true;
        } else if (option == "--token-file") {
            request.tokenFile = valueOf(option);
        } else if (option == "--timeout") {
            request.endpoint.timeout = parseTimeout(valueOf(option));
        } else if (option == "--json" || option == "--csv") {
            const Output output = option == "--json" ? Output::Json : Output::Csv;
            if (request.output != Output::Table && request.output != output)
                throw UsageError("Escolha --json ou --csv, não os dois");
            request.output = output;
        } else {
            throw UsageError("Opção desconhecida: " + option);
        }
    }
    if (!haveServer) throw UsageError("Informe o servidor com --server HOST:PORTA");
    if (words.size() - i < 2) throw UsageError("Informe o objeto e o método");
    request.object = words[i++];
    request.method = words[i++];
    for (; i < words.size(); ++i) request.args.push_back(parseArgument(words[i]));
    return request;
}

}  // namespace krv::call
