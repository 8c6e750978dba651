#pragma once
#include <filesystem>
#include <string>
#include <vector>

#include "server/storage/Database.h"
#include "server/transfer/FileRecords.h"

namespace krv::server::transfer {

struct ImportOptions {
    bool simulate = false;  // everything but the commit
    // Delete what a present file no longer lists, keeping what something uses (and saying
    // so); of the kinds kept per kitchen, only within the kitchens (and days) the file has
    // rows for.
    bool removeMissing = false;
    bool ignoreOthers = false;  // leave out what else the folder holds, instead of refusing it
    // Bring the schema up to date inside the import's transaction, so that a simulation
    // leaves an older database as it was.
    bool migrate = false;
    ImportProgress progress;
    DateTime today = localNow().date();  // counts dated after it are refused
};

struct FileCounts {
    std::string file;
    size_t added = 0, changed = 0, unchanged = 0, removed = 0;
    size_t replaced = 0;  // of a whole the file names (a kitchen's dishes of a shift and day), no longer listed
    size_t padded = 0;    // codes completed with zeros on the left
    size_t trimmed = 0;   // codes written with spaces around them
    std::string kept;     // "3 produtos mantidos: em uso por receitas", when absent ones stayed
    bool empty = false;   // the file has no rows: it removes nothing
};

struct ImportResult {
    std::vector<FileCounts> files;      // in the order of writing
    std::vector<std::string> ignored;   // what else the folder held, left out
    std::vector<std::string> problems;  // nothing was written when there is any
    bool committed = false;
};

// Reads the files of a kind found in `folder`, checks every record and every reference (to
// the database or to the other files), and writes them all in one transaction, adding new
// records, updating changed ones by their key, and replacing what a whole the file names no
// longer lists.
ImportResult importFolder(db::Connection& connection, const std::filesystem::path& folder,
                          const ImportOptions& options);

}  // namespace krv::server::transfer
