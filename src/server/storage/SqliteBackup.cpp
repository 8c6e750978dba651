#include "server/storage/SqliteBackup.h"

#include <sqlite3.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <thread>

#include "core/PrivateFile.h"

namespace krv::server::db {

namespace {

constexpr int kBusyTimeoutMs = 10000;

struct Closer {
    void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
};
using Handle = std::unique_ptr<sqlite3, Closer>;

Handle open(const std::string& path, int flags) {
    sqlite3* raw = nullptr;
    const int result = sqlite3_open_v2(path.c_str(), &raw, flags, nullptr);
    Handle db(raw);
    if (result != SQLITE_OK)
        throw BackupFailure("Não foi possível abrir " + path + ": " +
                            (raw ? sqlite3_errmsg(raw) : sqlite3_errstr(result)));
    sqlite3_busy_timeout(raw, kBusyTimeoutMs);
    return db;
}

void exec(sqlite3* db, const char* sql, const std::string& what) {
    char* error = nullptr;
    if (sqlite3_exec(db, sql, nullptr, nullptr, &error) != SQLITE_OK) {
        const std::string text = error ? error : sqlite3_errmsg(db);
        sqlite3_free(error);
        throw BackupFailure(what + ": " + text);
    }
}

// Why a page could not be written to the copy, in the words an administrator acts on.
std::string writeFailure(int result, const std::string& target) {
    if (result == SQLITE_FULL) return "Disco cheio ao gravar " + target;
    if (result == SQLITE_CANTOPEN) return "Não foi possível criar " + target + " (a pasta existe e aceita gravação?)";
    return "Falha ao gravar " + target + ": " + sqlite3_errstr(result);
}

void copyPages(sqlite3* from, sqlite3* to, const std::string& target, int pagesPerStep,
               const BackupProgress& progress) {
    sqlite3_backup* backup = sqlite3_backup_init(to, "main", from, "main");
    if (!backup) throw BackupFailure(writeFailure(sqlite3_errcode(to), target));
    int result = SQLITE_OK;
    while ((result = sqlite3_backup_step(backup, pagesPerStep)) == SQLITE_OK || result == SQLITE_BUSY ||
           result == SQLITE_LOCKED) {
        if (result != SQLITE_OK)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        else if (progress)
            progress(sqlite3_backup_remaining(backup), sqlite3_backup_pagecount(backup));
    }
    sqlite3_backup_finish(backup);
    if (result != SQLITE_DONE) throw BackupFailure(writeFailure(result, target));
}

}  // namespace

void copySqliteDatabase(const std::string& source, const std::string& target, int pagesPerStep,
                        const BackupProgress& progress) {
    // Read-write, so that a WAL file's shared memory can be opened, but nothing is written.
    const Handle from = open(source, SQLITE_OPEN_READWRITE);
    // One snapshot for the whole copy: writers that commit meanwhile do not restart it.
    exec(from.get(), "BEGIN; SELECT count(*) FROM sqlite_master;", "Não foi possível ler " + source);
    try {
        createPrivateFile(target);
        const Handle to = open(target, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
        copyPages(from.get(), to.get(), target, pagesPerStep, progress);
        // The copy is one self-contained file: what it has is in it, not in a WAL beside it.
        exec(to.get(), "PRAGMA journal_mode = DELETE", writeFailure(SQLITE_IOERR, target));
    } catch (const BackupFailure&) {
        std::remove(target.c_str());
        throw;
    }
    exec(from.get(), "COMMIT", "Não foi possível ler " + source);
}

std::string sqliteIntegrity(const std::string& file) {
    const Handle db = open(file, SQLITE_OPEN_READONLY);
    sqlite3_stmt* raw = nullptr;
    if (sqlite3_prepare_v2(db.get(), "PRAGMA integrity_check", -1, &raw, nullptr) != SQLITE_OK)
        return sqlite3_errmsg(db.get());
    std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt*)> statement(raw, sqlite3_finalize);
    std::string problems;
    int result = SQLITE_OK;
    while ((result = sqlite3_step(raw)) == SQLITE_ROW)
        problems +=
            (problems.empty() ? "" : "; ") + std::string(reinterpret_cast<const char*>(sqlite3_column_text(raw, 0)));
    if (result != SQLITE_DONE) return sqlite3_errmsg(db.get());
    return problems;
}

std::optional<int> sqliteSchemaVersion(const std::string& file) {
    const Handle db = open(file, SQLITE_OPEN_READONLY);
    sqlite3_stmt* raw = nullptr;
    // No such table: a file no server has opened yet.
    if (sqlite3_prepare_v2(db.get(), "SELECT max(version) FROM schema_version", -1, &raw, nullptr) != SQLITE_OK)
        return std::nullopt;
    std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt*)> statement(raw, sqlite3_finalize);
    if (sqlite3_step(raw) != SQLITE_ROW || sqlite3_column_type(raw, 0) == SQLITE_NULL) return std::nullopt;
    return sqlite3_column_int(raw, 0);
}

bool sqliteHasTables(const std::string& file) {
    const Handle db = open(file, SQLITE_OPEN_READONLY);
    sqlite3_stmt* raw = nullptr;
    int result = sqlite3_prepare_v2(db.get(), "SELECT count(*) FROM sqlite_master", -1, &raw, nullptr);
    std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt*)> statement(raw, sqlite3_finalize);
    if (result == SQLITE_OK) result = sqlite3_step(raw);
    if (result != SQLITE_ROW)
        throw BackupFailure(file + " não é um banco SQLite (" + std::string(sqlite3_errmsg(db.get())) + ")");
    return sqlite3_column_int(raw, 0) > 0;
}

}  // namespace krv::server::db
