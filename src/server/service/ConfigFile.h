#pragma once
#include <map>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace krv::server {

// The TOML type a key of the configuration file must have.
enum class ConfigKind { Text, Number, Flag };

struct ConfigKey {
    std::string name;  // the command-line option without its dashes
    ConfigKind kind;
};

// A value as the command line would give it ("true"/"false" for a flag), and where it was.
struct ConfigValue {
    std::string text;
    int line = 0;
};

struct ConfigFile {
    std::string path;
    std::map<std::string, ConfigValue> values;
    std::vector<std::pair<int, std::string>> problems;  // line and reason

    // "ARQUIVO:LINHA" of a key that is in the file.
    std::string where(const std::string& key) const;
    // Throws ConfigError with the problems in the file's order, when there are any.
    void refuseProblems() const;
};

// Every problem of a configuration file, each "ARQUIVO:LINHA: motivo" (or "ARQUIVO: motivo"
// when the file cannot be read at all). what() holds them one a line.
struct ConfigError : std::runtime_error {
    explicit ConfigError(std::vector<std::string> problems);
    std::vector<std::string> problems;
};

// A configuration file is a page of text; a log or an image named by mistake is refused.
inline constexpr size_t kMaxConfigBytes = 1 << 20;

// Reads a TOML file whose keys are all at the top level and among `known`, each of its
// kind; numbers must be whole and not negative. Keys of another name or kind are left in
// `problems`; a file that is missing, no regular file, unreadable or no TOML throws
// ConfigError, each in its own words.
ConfigFile readConfigFile(const std::string& path, const std::vector<ConfigKey>& known);

}  // namespace krv::server
