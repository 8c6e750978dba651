#pragma once
#include <filesystem>
#include <string>
#include <vector>

#include "server/storage/Database.h"
#include "server/transfer/FileRecords.h"

namespace krv::server::transfer {

struct ImportOptions {
    bool simulate = false;       // everything but the commit
    bool removeMissing = false;  // delete what a present file no longer lists, unless something uses it
    ImportProgress progress;
};

struct FileCounts {
    std::string file;
    size_t added = 0, changed = 0, unchanged = 0, removed = 0;
};

struct ImportResult {
    std::vector<FileCounts> files;      // in the order of writing
    std::vector<std::string> problems;  // nothing was written when there is any
    bool committed = false;
};

// Reads the files of a kind found in `folder`, checks every record and every reference (to
// the database or to the other files), and writes them all in one transaction, adding new
// records and updating changed ones by their key.
ImportResult importFolder(db::Connection& connection, const std::filesystem::path& folder,
                          const ImportOptions& options);

}  // namespace krv::server::transfer
