#pragma once
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "server/storage/SqliteBackup.h"

namespace krv::server {

using db::BackupFailure;

struct BackupMade {
    std::string file;
    int schemaVersion = 0;
    std::vector<std::string> removed;  // older copies a folder no longer keeps
};

// Backs the SQLite database up into `target` while servers keep writing to it, checks the
// copy (integrity and a schema version this program knows) and only then gives it its name.
// `target` is a new file, or an existing folder, which gets "krv-AAAAMMDD-HHMMSS.db" and
// keeps the `keep` newest of those. Records the copy as the database's last backup. Throws
// BackupFailure with the reason, leaving no partial file. A PostgreSQL database is copied by
// pg_dump (custom format, checked by pg_restore --list) as "krv-AAAAMMDD-HHMMSS.dump", kept
// the same way.
// `copy` makes the copy that is then checked (tests give one that makes a bad copy).
using BackupCopy = std::function<void(const std::string& source, const std::string& target, int pagesPerStep,
                                      const db::BackupProgress& progress)>;
BackupMade backupDatabase(const std::string& database, const std::string& target, unsigned keep,
                          const db::BackupProgress& progress = {}, const BackupCopy& copy = db::copySqliteDatabase);

// "QUANDO ARQUIVO" of the database's last backup, when one was made.
std::optional<std::string> lastBackup(const std::string& database);

// Before a newer program migrates an SQLite database of an older schema, a checked copy
// of it goes next to it ("ARQUIVO.antes-da-versao-N-AAAAMMDD-HHMMSS"); `log` says where.
// Nothing for PostgreSQL, a new file or one already at the newest schema. Throws
// BackupFailure when the copy cannot be made: then the database is not migrated.
void backupBeforeMigration(const std::string& database, const std::function<void(const std::string&)>& log);

}  // namespace krv::server
