#pragma once
#include <optional>
#include <string>
#include <vector>

#include "cli/UsageError.h"

namespace krv::dados {

enum class Action { Export, Import, Templates };

// What krv-dados was asked to do.
struct DadosCommand {
    Action action = Action::Export;
    std::string database;  // an SQLite path or a postgresql:// URL; none for the templates
    std::string folder;
    bool seedDemo = false;
    std::optional<unsigned> demoBranches;  // --seed demo:N
    bool simulate = false;
    bool removeMissing = false;
    bool ignoreOthers = false;
    bool help = false;
    bool version = false;
};

// The exit statuses, also told in --help.
enum ExitStatus { kWritten = 0, kProblems = 1, kUsage = 64 };

using UsageError = cli::UsageError;

DadosCommand parseCommandLine(const std::vector<std::string>& args);
std::string usageText();
std::string versionText();

}  // namespace krv::dados
