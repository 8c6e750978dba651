#include "server/service/ConfigFile.h"

#include <toml++/toml.h>
#include <algorithm>
#include <optional>
#include <utility>

#include "core/RegularFile.h"

namespace krv::server {

namespace {

std::string joined(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) text += (text.empty() ? "" : "\n") + line;
    return text;
}

const char* kindName(ConfigKind kind) {
    switch (kind) {
        case ConfigKind::Text:
            return "um texto entre aspas";
        case ConfigKind::Number:
            return "um número inteiro";
        case ConfigKind::Flag:
            return "true ou false";
    }
    return "";
}

// The value in command-line form, or nullopt when the node is not of the key's kind.
std::optional<std::string> asText(const toml::node& node, ConfigKind kind) {
    switch (kind) {
        case ConfigKind::Text:
            if (const auto* text = node.as_string()) return text->get();
            break;
        case ConfigKind::Number:
            if (const auto* number = node.as_integer()) return std::to_string(number->get());
            break;
        case ConfigKind::Flag:
            if (const auto* flag = node.as_boolean()) return flag->get() ? "true" : "false";
            break;
    }
    return std::nullopt;
}

}  // namespace

ConfigError::ConfigError(std::vector<std::string> lines)
    : std::runtime_error(joined(lines)), problems(std::move(lines)) {}

std::string ConfigFile::where(const std::string& key) const {
    const auto found = values.find(key);
    return path + (found == values.end() ? "" : ":" + std::to_string(found->second.line));
}

void ConfigFile::refuseProblems() const {
    if (problems.empty()) return;
    // The table keeps its keys in alphabetical order; problems are told in the file's.
    auto ordered = problems;
    std::stable_sort(ordered.begin(), ordered.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<std::string> lines;
    for (const auto& [line, text] : ordered) lines.push_back(path + ":" + std::to_string(line) + ": " + text);
    throw ConfigError(lines);
}

ConfigFile readConfigFile(const std::string& path, const std::vector<ConfigKey>& known) {
    const FileRead read = readRegularFile(path, kMaxConfigBytes);
    if (read.problem == FileProblem::Missing) throw ConfigError({path + ": arquivo de configuração não encontrado"});
    if (read.problem != FileProblem::None)
        throw ConfigError({path + ": o arquivo de configuração " + describeFileProblem(read, kMaxConfigBytes)});
    toml::table table;
    try {
        table = toml::parse(read.text, path);
    } catch (const toml::parse_error& e) {
        throw ConfigError({path + ":" + std::to_string(e.source().begin.line) + ": sintaxe TOML inválida (" +
                           std::string(e.description()) + ")"});
    }
    ConfigFile file{path, {}, {}};
    for (const auto& [key, node] : table) {
        const std::string name(key.str());
        const int line = int(key.source().begin.line);
        const auto setting =
            std::find_if(known.begin(), known.end(), [&](const ConfigKey& k) { return k.name == name; });
        if (setting == known.end()) {
            file.problems.emplace_back(line, "chave desconhecida \"" + name + "\"");
        } else if (const std::optional<std::string> text = asText(node, setting->kind)) {
            if (setting->kind == ConfigKind::Number && text->starts_with('-'))
                file.problems.emplace_back(line, name + " não pode ser negativo (" + *text + ")");
            else
                file.values[name] = {*text, line};
        } else {
            file.problems.emplace_back(line, name + " deve ser " + kindName(setting->kind));
        }
    }
    return file;
}

}  // namespace krv::server
