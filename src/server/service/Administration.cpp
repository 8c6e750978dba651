#include "server/service/Administration.h"

#include <unistd.h>

#include <ctime>
#include <filesystem>
#include <iostream>

#include "rpc/Endpoint.h"
#include "rpc/Tls.h"
#include "rpc/TokenFile.h"
#include "server/service/Backup.h"
#include "server/service/ServerState.h"
#include "server/service/ServiceNotify.h"
#include "server/storage/Database.h"
#include "server/stores/Schema.h"

namespace krv::server {

namespace fs = std::filesystem;

namespace {

constexpr int kNotRunning = 3;  // --estado of a server that is not running, as init scripts say

// The schema version of the database, without migrating or creating anything; nullopt for
// an empty one. A database with tables but none of this system's (another program's, or no
// database at all: db = "/etc/passwd") throws: serving it would mix two systems' data.
std::optional<int> databaseVersion(const std::string& database) {
    const std::string foreign = "o banco " + database + " não é um banco do krv-server (tem tabelas de outro sistema)";
    if (!db::isPostgresUrl(database)) {
        const std::optional<int> version = db::sqliteSchemaVersion(database);
        if (!version && db::sqliteHasTables(database)) throw std::runtime_error(foreign);
        return version;
    }
    const auto opened = db::openDatabase(database);
    db::Connection& connection = opened->connection();
    const auto count = [&](const std::string& table) {
        return connection
            .integer("SELECT count(*) FROM information_schema.tables WHERE table_schema = current_schema()" + table)
            .value_or(0);
    };
    if (count(" AND table_name = 'schema_version'") > 0) return schemaVersion(connection);
    if (count("") > 0) throw std::runtime_error(foreign);
    return std::nullopt;
}

std::string databaseProblem(const std::string& database) {
    if (!db::isPostgresUrl(database) && !fs::exists(database)) {
        const fs::path folder = fs::absolute(database).parent_path();
        if (!fs::is_directory(folder)) return "a pasta do banco " + folder.string() + " não existe";
        if (access(folder.c_str(), W_OK) != 0) return "sem permissão de gravar o banco em " + folder.string();
        return {};  // created at the first start
    }
    try {
        const std::optional<int> version = databaseVersion(database);
        if (version && *version > latestSchemaVersion())
            return "o banco tem a versão de esquema " + std::to_string(*version) +
                   ", mais nova que a deste programa (" + std::to_string(latestSchemaVersion()) + ")";
    } catch (const std::exception& e) {
        return e.what();
    }
    return {};
}

int verify(const ServerCommand& command, std::ostream& out, std::ostream& err) {
    const ConfigFile config = readServerConfig(command.configFile);
    std::vector<std::string> problems;
    const auto check = [&](const std::string& key, const std::string& problem) {
        if (!problem.empty()) problems.push_back(config.where(key) + ": " + problem);
    };
    if (!command.tlsCert.empty()) {
        try {
            rpc::serverTlsContext(command.tlsCert, command.tlsKey);
        } catch (const std::exception& e) {
            check("tls-cert", e.what());
        }
    }
    if (!command.tokenFile.empty()) {
        try {
            rpc::readTokenFile(command.tokenFile);
        } catch (const std::exception& e) {
            check("token-file", e.what());
        }
    }
    check("db", databaseProblem(command.database));
    for (const std::string& problem : problems) err << problem << "\n";
    if (!problems.empty()) return 1;
    out << command.configFile << ": configuração correta; banco " << command.database << " acessível\n";
    return 0;
}

int backup(const ServerCommand& command, std::ostream& out) {
    const BackupMade made = backupDatabase(command.database, command.backupTarget, command.keepBackups);
    out << "backup de " << command.database << " em " << made.file << " (esquema " << made.schemaVersion
        << ", integridade verificada)\n";
    for (const std::string& removed : made.removed) out << "removido o backup antigo " << removed << "\n";
    return 0;
}

int status(const ServerCommand& command, std::ostream& out) {
    const std::optional<int> version = databaseVersion(command.database);
    out << "versão: " << versionText() << "banco: " << (db::isPostgresUrl(command.database) ? "PostgreSQL " : "SQLite ")
        << (db::isPostgresUrl(command.database) ? db::openDatabase(command.database)->description() : command.database)
        << "\n"
        << "esquema: " << (version ? std::to_string(*version) : "nenhum")
        << " (deste programa: " << latestSchemaVersion() << ")\n";
    const std::string stateFile = command.stateFile.empty() ? defaultStateFile(command.database) : command.stateFile;
    const std::optional<ServerState> state = stateFile.empty() ? std::nullopt : readStateFile(stateFile);
    const std::time_t now = std::time(nullptr);
    const bool running = state && isCurrent(*state, now);
    if (running)
        out << "servidor: em execução (pid " << state->pid << "), " << summaryLine(*state, now) << "\n";
    else
        out << "servidor: parado" << (stateFile.empty() ? " ou desconhecido (informe --arquivo-estado)" : "") << "\n";
    const std::optional<std::string> last = lastBackup(command.database);
    out << "último backup: " << (last ? *last : "nenhum registrado") << "\n";
    return running ? 0 : kNotRunning;
}

// The options a running server cannot take on, by name, that differ between the two.
std::string changedUntilRestart(const ServerCommand& running, const ServerCommand& read) {
    const std::pair<const char*, bool> options[] = {
        {"db", read.database != running.database},
        {"listen", read.host != running.host || read.port != running.port},
        {"threads", read.threads != running.threads},
        {"TLS ligado ou desligado", read.tlsCert.empty() != running.tlsCert.empty()},
        {"ocioso", read.idleSeconds != running.idleSeconds},
        {"max-quadro", read.maxFrameBytes != running.maxFrameBytes},
        {"max-quadro-login", read.maxLoginFrameBytes != running.maxLoginFrameBytes},
        {"max-pendente", read.maxPendingBytes != running.maxPendingBytes},
        {"prazo-quadro", read.frameSeconds != running.frameSeconds},
        {"prazo-handshake", read.handshakeSeconds != running.handshakeSeconds},
        {"token-file", read.tokenFile != running.tokenFile},
    };
    std::string names;
    for (const auto& [name, changed] : options)
        if (changed) names += (names.empty() ? "" : ", ") + std::string(name);
    return names;
}

}  // namespace

std::optional<int> runAdministration(const ServerCommand& command, std::ostream& out, std::ostream& err) {
    try {
        if (command.verify) return verify(command, out, err);
        if (!command.backupTarget.empty()) return backup(command, out);
        if (command.status) return status(command, out);
    } catch (const std::exception& e) {
        err << "krv-server: " << e.what() << "\n";
        return 1;
    }
    return std::nullopt;
}

void applyLimits(const ServerCommand& command, rpc::ServerOptions& options) {
    using std::chrono::seconds;
    if (command.idleSeconds) options.idleTimeout = seconds(command.idleSeconds);
    if (command.maxConnections) options.maxConnections = command.maxConnections;
    if (command.maxFrameBytes) options.maxFrameBytes = command.maxFrameBytes;
    if (command.maxLoginFrameBytes) options.maxLoginFrameBytes = command.maxLoginFrameBytes;
    if (command.maxPendingBytes) options.maxPendingBytes = command.maxPendingBytes;
    if (command.frameSeconds) options.frameTimeout = seconds(command.frameSeconds);
    if (command.handshakeSeconds) options.handshakeTimeout = seconds(command.handshakeSeconds);
}

void serveUntilStopped(const std::vector<std::string>& args, const ServerCommand& command, rpc::Server& server,
                       const rpc::ServerOptions& options, const sigset_t& signals) {
    // The host reads the line below back with parseEndpoint, so an IPv6 address keeps its brackets.
    const std::string address = rpc::formatEndpoint(command.host, server.port());
    StateReporter state(command.stateFile.empty() ? defaultStateFile(command.database) : command.stateFile,
                        {long(getpid()), std::time(nullptr), 0, address, {}}, [&] { return server.connections(); });
    // Announced once everything that tells about the server is there.
    // The host reads this line back with parseEndpoint, so an IPv6 address keeps its brackets.
    std::cout << "krv-server escutando em " << address << std::endl;
    notifyReady();
    int received = 0;
    while (sigwait(&signals, &received) == 0 && received == SIGHUP) reloadServer(args, command, server, options);
}

void reloadServer(const std::vector<std::string>& args, const ServerCommand& running, rpc::Server& server,
                  const rpc::ServerOptions& options) {
    notifyReloading();
    try {
        const ServerCommand command = parseCommandLine(args);
        rpc::ServerOptions changed = options;
        changed.tlsCertFile = command.tlsCert;
        changed.tlsKeyFile = command.tlsKey;
        applyLimits(command, changed);
        server.reload(changed);
        std::string reread =
            "max-conexoes " + (command.maxConnections ? std::to_string(command.maxConnections) : "padrão");
        if (!options.tlsCertFile.empty())
            reread = "certificado " + command.tlsCert + ", chave " + command.tlsKey + ", " + reread;
        const std::string later = changedUntilRestart(running, command);
        options.log("configuração relida: " + reread +
                    (later.empty() ? "" : "; valem só depois de reiniciar: " + later));
    } catch (const std::exception& e) {
        options.log("aviso: a configuração não foi relida, nada mudou: " + std::string(e.what()));
    }
    notifyReady();
}

}  // namespace krv::server
