#pragma once
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>

namespace krv::server::db {

// A copy or a check of an SQLite file that could not be made; the text says why, in Portuguese.
struct BackupFailure : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Copies the SQLite database `source` into the new file `target` while other processes keep
// writing to it: the copy goes `pagesPerStep` pages at a time inside one read snapshot, so it
// is of one moment, never restarts, and (the file being in WAL) never holds a writer up.
// `target` must not exist yet. Throws BackupFailure (and leaves no `target`) when the source cannot be read or the
// target cannot be written (a missing folder, a full disk). `progress`, when given, hears the pages still to copy and
// the total after each step.
using BackupProgress = std::function<void(int remaining, int total)>;
void copySqliteDatabase(const std::string& source, const std::string& target, int pagesPerStep,
                        const BackupProgress& progress = {});

// "ok", or the problems PRAGMA integrity_check finds in the file.
std::string sqliteIntegrity(const std::string& file);

// The highest version in the file's schema_version table; nullopt when it has none (a file
// that no server has opened yet). Opens the file read-only.
std::optional<int> sqliteSchemaVersion(const std::string& file);

// Whether the file holds any table at all, opened read-only; throws BackupFailure when it is
// no SQLite database.
bool sqliteHasTables(const std::string& file);

}  // namespace krv::server::db
