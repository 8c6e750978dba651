#include "server/service/Backup.h"

#include <algorithm>
#include <ctime>
#include <filesystem>
#include <fstream>

#include "core/PrivateFile.h"
#include "server/service/PgDump.h"
#include "server/storage/Database.h"
#include "server/storage/PostgresDatabase.h"
#include "server/stores/Schema.h"

namespace krv::server {

namespace fs = std::filesystem;

namespace {

const std::string kPrefix = "krv-";
const std::string kSuffix = ".db";
const std::string kDumpSuffix = ".dump";  // PostgreSQL's, in pg_dump's custom format
// 1 MiB of 4 KiB pages a step: a writer waits on no lock, and the copy of a large file still
// takes few steps.
constexpr int kPagesPerStep = 256;

std::string now(const char* format) {
    const std::time_t t = std::time(nullptr);
    std::tm local{};
    localtime_r(&t, &local);
    char text[32];
    std::strftime(text, sizeof text, format, &local);
    return text;
}

std::string lastBackupRecord(const std::string& database) { return database + ".ultimo-backup"; }

// The file a backup goes to: `target` itself, or a dated name inside it when it is a folder.
std::string backupFile(const std::string& target, const std::string& suffix) {
    if (fs::is_directory(target)) return (fs::path(target) / (kPrefix + now("%Y%m%d-%H%M%S") + suffix)).string();
    const fs::path parent = fs::absolute(target).parent_path();
    if (!fs::is_directory(parent)) throw BackupFailure("A pasta " + parent.string() + " não existe");
    return target;
}

int checkedVersion(const std::string& file, const std::string& what) {
    const std::optional<int> version = db::sqliteSchemaVersion(file);
    if (!version) throw BackupFailure(what + " não tem o esquema do krv-server");
    if (*version > latestSchemaVersion())
        throw BackupFailure(what + " tem a versão de esquema " + std::to_string(*version) +
                            ", mais nova que a deste programa (" + std::to_string(latestSchemaVersion()) + ")");
    return *version;
}

// Copies and checks into a temporary name, so that a file with the final name is always whole.
int checkedCopy(const std::string& database, const std::string& file, const db::BackupProgress& progress = {},
                const BackupCopy& copy = db::copySqliteDatabase) {
    if (fs::exists(file)) throw BackupFailure(file + " já existe; escolha outro nome");
    const std::string partial = file + ".parcial";
    fs::remove(partial);
    copy(database, partial, kPagesPerStep, progress);
    try {
        const std::string integrity = db::sqliteIntegrity(partial);
        if (integrity != "ok") throw BackupFailure("A cópia em " + file + " falhou na verificação: " + integrity);
        const int version = checkedVersion(partial, "A cópia em " + file);
        fs::rename(partial, file);
        return version;
    } catch (...) {
        fs::remove(partial);
        throw;
    }
}

std::vector<std::string> removeOldest(const std::string& folder, unsigned keep, const std::string& suffix) {
    std::vector<std::string> copies;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        if (entry.is_regular_file() && name.starts_with(kPrefix) && name.ends_with(suffix))
            copies.push_back(entry.path().string());
    }
    std::sort(copies.begin(), copies.end());  // dated names: oldest first
    std::vector<std::string> removed;
    for (size_t i = 0; i + keep < copies.size(); ++i) {
        fs::remove(copies[i]);
        removed.push_back(copies[i]);
    }
    return removed;
}

// pg_dump copies a database in use as SQLite's backup does; the dump gets its name once it is checked.
BackupMade backupPostgres(const std::string& url, const std::string& target, unsigned keep) {
    BackupMade made;
    const std::string where = db::splitPassword(url).url;
    try {
        made.schemaVersion = schemaVersion(db::openDatabase(url)->connection());
    } catch (const std::exception& e) {
        throw BackupFailure("O banco " + where + " não pode ser copiado: " + e.what());
    }
    if (made.schemaVersion > latestSchemaVersion())
        throw BackupFailure("O banco " + where + " tem a versão de esquema " + std::to_string(made.schemaVersion) +
                            ", mais nova que a deste programa (" + std::to_string(latestSchemaVersion()) + ")");
    made.file = backupFile(target, kDumpSuffix);
    if (fs::exists(made.file)) throw BackupFailure(made.file + " já existe; escolha outro nome");
    const std::string partial = made.file + ".parcial";
    dumpPostgres(url, partial);
    fs::rename(partial, made.file);
    if (fs::is_directory(target)) made.removed = removeOldest(target, keep, kDumpSuffix);
    return made;
}

}  // namespace

BackupMade backupDatabase(const std::string& database, const std::string& target, unsigned keep,
                          const db::BackupProgress& progress, const BackupCopy& copy) {
    if (db::isPostgresUrl(database)) return backupPostgres(database, target, keep);
    if (!fs::is_regular_file(database)) throw BackupFailure("O banco " + database + " não existe");
    checkedVersion(database, "O banco " + database);
    BackupMade made;
    made.file = backupFile(target, kSuffix);
    made.schemaVersion = checkedCopy(database, made.file, progress, copy);
    if (fs::is_directory(target)) made.removed = removeOldest(target, keep, kSuffix);
    // A record the administrator can read; its failure does not undo a good copy.
    createPrivateFile(lastBackupRecord(database));
    std::ofstream(lastBackupRecord(database))
        << now("%Y-%m-%d %H:%M:%S") << " " << fs::absolute(made.file).string() << "\n";
    return made;
}

std::optional<std::string> lastBackup(const std::string& database) {
    std::ifstream record(lastBackupRecord(database));
    std::string line;
    if (!std::getline(record, line) || line.empty()) return std::nullopt;
    return line;
}

void backupBeforeMigration(const std::string& database, const std::function<void(const std::string&)>& log) {
    if (db::isPostgresUrl(database) || !fs::is_regular_file(database)) return;
    const std::optional<int> version = db::sqliteSchemaVersion(database);
    if (!version || *version >= latestSchemaVersion()) return;
    const std::string file =
        database + ".antes-da-versao-" + std::to_string(latestSchemaVersion()) + "-" + now("%Y%m%d-%H%M%S");
    // Another server starting on the same file this second made it already.
    if (!fs::exists(file)) checkedCopy(database, file);
    if (log)
        log("esquema " + std::to_string(*version) + " será atualizado para " + std::to_string(latestSchemaVersion()) +
            "; cópia de segurança do banco anterior em " + file);
}

}  // namespace krv::server
