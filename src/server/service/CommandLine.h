#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "cli/UsageError.h"
#include "core/DateTime.h"
#include "server/service/ConfigFile.h"

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
    // The other limits of a connection, 0: the server's default.
    uint64_t maxFrameBytes = 0;
    uint64_t maxLoginFrameBytes = 0;
    uint64_t maxPendingBytes = 0;
    unsigned frameSeconds = 0;
    unsigned handshakeSeconds = 0;
    std::string configFile;    // --config: where the options above came from, when not from the command line
    bool verify = false;       // --verifica: check the configuration and the database, then stop
    std::string backupTarget;  // --backup: a file, or a folder that gets a dated file
    unsigned keepBackups = 7;  // --manter: backups a folder keeps
    bool status = false;       // --estado: print the running server's state and stop
    std::string stateFile;     // --arquivo-estado: where a running server keeps its state
    bool help = false;         // --help: print usageText() and stop
    bool version = false;      // --version: print versionText() and stop
};

// A command line that cannot be obeyed; the program prints it with the usage and exits 64.
using UsageError = cli::UsageError;

// Parses the arguments after the program name; "--name value" and "--name=value" both work.
// With --config, the file's keys fill the options the command line left out; throws
// ConfigError (every problem by line) for a file that cannot be used.
ServerCommand parseCommandLine(const std::vector<std::string>& args);
// A configuration file whose keys, types and values (each as its option would take it) are
// good; throws ConfigError naming every problem by line.
ConfigFile readServerConfig(const std::string& path);
// The word of --seed, for krv-server and krv-dados alike: "demo" (nullopt, the demo company as
// it is) or "demo:N" (N ordinary branches); throws UsageError for anything else.
std::optional<unsigned> parseSeedWord(const std::string& text);
std::string usageText();
std::string versionText();

}  // namespace krv::server
