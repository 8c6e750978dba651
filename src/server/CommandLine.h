#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "cli/UsageError.h"
#include "core/DateTime.h"

namespace krv::server {

// What krv-server was asked to do.
struct ServerCommand {
    std::string database;  // an SQLite path or a postgresql:// URL
    std::string host = "127.0.0.1";
    uint16_t port = 0;  // 0: any free port
    bool seedDemo = false;
    std::optional<unsigned> demoBranches;  // --seed demo:N
    std::string tokenFile;
    unsigned threads = 4;
    // --cria-operador: create this operator, or change its password, from one line of
    // standard input, then stop (no listening).
    std::string createOperator;
    // Who may act for which kitchen: each of these also stops after it (see OperatorCommand.h).
    std::string alterOperator;                  // --altera-operador
    std::string deactivateOperator;             // --desativa-operador
    bool listOperators = false;                 // --lista-operadores
    std::optional<std::string> role, branches;  // --papel, --filiais, as typed
    bool newPassword = false;                   // --troca-senha: --altera-operador reads one from standard input
    std::optional<std::pair<DateTime, DateTime>> audit;  // --auditoria --de --ate
    std::string tlsCert;                                 // both or neither
    std::string tlsKey;
    bool withoutTls = false;      // --sem-tls: off loopback in clear, on purpose
    unsigned idleSeconds = 0;     // 0: the server's default
    unsigned maxConnections = 0;  // 0: the server's default
    bool help = false;            // --help: print usageText() and stop
    bool version = false;         // --version: print versionText() and stop
};

// A command line that cannot be obeyed; the program prints it with the usage and exits 64.
using UsageError = cli::UsageError;

// Parses the arguments after the program name; "--name value" and "--name=value" both work.
ServerCommand parseCommandLine(const std::vector<std::string>& args);
// The word of --seed, for krv-server and krv-dados alike: "demo" (nullopt, the demo company as
// it is) or "demo:N" (N ordinary branches); throws UsageError for anything else.
std::optional<unsigned> parseSeedWord(const std::string& text);
std::string usageText();
std::string versionText();

}  // namespace krv::server
