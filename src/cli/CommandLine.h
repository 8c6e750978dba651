#pragma once
#include <CLI/CLI.hpp>
#include <string>
#include <vector>

#include "cli/UsageError.h"

namespace krv::cli {

// CLI11 as the programs without Qt use it: Portuguese headings, "-h, --help" and "--version",
// an option given twice keeps its last value, and every parse error in Portuguese. Options keep
// their values as text: each program checks its own, so every message about a value is its own.
class CommandLine {
public:
    enum class Outcome { Run, Help, Version };

    CommandLine(const std::string& program, const std::string& description);
    CLI::App& app() { return app_; }

    // Parses the words after the program name; throws UsageError. Help or Version: print
    // help() or version() and stop.
    Outcome parse(const std::vector<std::string>& words);
    // parse() for a command with `help` and `version` flags: sets the one asked for and says
    // false, the program then prints and stops; true when it is to run.
    template <class Command>
    bool parseToRun(const std::vector<std::string>& words, Command& command) {
        const Outcome outcome = parse(words);
        command.help = outcome == Outcome::Help;
        command.version = outcome == Outcome::Version;
        return outcome == Outcome::Run;
    }
    std::string help() const;
    std::string version() const;

private:
    CLI::App app_;
};

}  // namespace krv::cli
