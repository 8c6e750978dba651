#include "call/CallArguments.h"

#include <charconv>
#include <cmath>

#include "cli/CommandLine.h"

namespace krv::call {

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
        rpc::applyServerList(text, endpoint);
        endpoint.compression = true;
        endpoint.answersInParts = true;
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

// The words as given; their meaning is checked after the parse.
struct Words {
    std::string server, timeout;
    rpc::ClientLogin login;
    bool json = false, csv = false;
    std::vector<std::string> call;  // OBJECT METHOD ARG...
};

void describe(cli::CommandLine& line, Words& words) {
    CLI::App& app = line.app();
    app.add_option("--server", words.server,
                   "Servidor de aplicação (tls:HOST:PORTA para TLS); vários, separados por vírgula, no mesmo banco: "
                   "usa o primeiro que responde")
        ->type_name("HOST:PORTA");
    app.add_option("--operador", words.login.operatorName,
                   "Operador que entra no servidor; a senha vem de KRV_SENHA ou de --senha-arquivo")
        ->type_name("NOME");
    app.add_option("--senha-arquivo", words.login.passwordFile, "Arquivo cuja primeira linha é a senha do operador")
        ->type_name("ARQUIVO");
    app.add_option("--ca", words.login.caFile, "Conecta com TLS e confere o certificado do servidor com esta CA")
        ->type_name("ARQUIVO");
    app.add_option("--token-file", words.login.tokenFile, "Arquivo com o token que o servidor exige")
        ->type_name("ARQUIVO");
    app.add_option("--timeout", words.timeout, "Tempo limite de cada chamada, em milissegundos")->type_name("MS");
    app.add_flag("--json", words.json, "Mostra o resultado e os argumentos como JSON");
    app.add_flag("--csv", words.csv,
                 "Mostra um pacote de dados como CSV para planilha (\";\", vírgula decimal, UTF-8 com BOM)");
    app.add_option("OBJETO METODO ARG", words.call,
                   "ARG: texto | date:AAAA-MM-DD | num:10.5 | int:3 | null | str:TEXTO (texto literal)")
        ->type_name("");
    // From OBJECT on every word is an argument of the call, so one may itself start with "--".
    app.positionals_at_end();
}

constexpr const char* kProgram = "krv-call";
constexpr const char* kDescription = "Chama um método do servidor de aplicação e mostra o resultado.";

}  // namespace

std::string usageText() {
    cli::CommandLine line(kProgram, kDescription);
    Words words;
    describe(line, words);
    return line.help();
}

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

CallRequest parseCommandLine(const std::vector<std::string>& arguments) {
    cli::CommandLine line(kProgram, kDescription);
    Words words;
    describe(line, words);
    CallRequest request;
    switch (line.parse(arguments)) {
        case cli::CommandLine::Outcome::Help:
            request.shown = line.help();
            return request;
        case cli::CommandLine::Outcome::Version:
            request.shown = line.version();
            return request;
        case cli::CommandLine::Outcome::Run:
            break;
    }
    if (words.json && words.csv) throw UsageError("Escolha --json ou --csv, não os dois");
    request.output = words.json ? Output::Json : words.csv ? Output::Csv : Output::Table;
    if (!line.app().count("--server")) throw UsageError("Informe o servidor com --server HOST:PORTA");
    parseServer(words.server, request.endpoint);
    if (line.app().count("--timeout")) request.endpoint.timeout = parseTimeout(words.timeout);
    // An empty name would quietly send no login at all.
    if (line.app().count("--operador") && words.login.operatorName.empty())
        throw UsageError("--operador não pode ser vazio");
    if (!words.login.operatorName.empty() && !words.login.tokenFile.empty())
        throw UsageError("Use --operador ou --token-file, não os dois");
    request.login = words.login;
    if (words.call.size() < 2) throw UsageError("Informe o objeto e o método");
    request.object = words.call[0];
    request.method = words.call[1];
    for (size_t i = 2; i < words.call.size(); ++i) request.args.push_back(parseArgument(words.call[i]));
    return request;
}

}  // namespace krv::call
