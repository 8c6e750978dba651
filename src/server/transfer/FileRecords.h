#pragma once
#include <filesystem>
#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

#include "server/model/Clock.h"
#include "server/transfer/Cells.h"
#include "server/transfer/Problems.h"
#include "server/transfer/RecordKinds.h"

namespace krv::server::transfer {

// Told now and then how far the reading of a file has come, in lines.
using ImportProgress = std::function<void(const std::string& file, size_t done, size_t total)>;

// The records of one file, each read as its columns want it, with the line it came from.
struct FileRecords {
    const RecordKind* kind = nullptr;
    std::string name;  // as in the folder, whatever its case
    std::vector<Record> records;
    std::vector<size_t> lines;
    std::unordered_map<std::string, size_t> byKey;  // keyText of the key → index
    size_t padded = 0;                              // codes completed with zeros
    size_t trimmed = 0;                             // codes written with spaces around them
    std::vector<int> absent;                        // columns whose heading the file leaves out

    bool has(const std::string& key) const { return byKey.count(key) != 0; }
};

struct FolderOptions {
    bool ignoreOthers = false;  // leave out what is not a file of a kind, instead of refusing it
    ImportProgress progress;
    DateTime today = localNow().date();  // dates that may not be after today are checked against it
};

struct Folder {
    std::vector<FileRecords> files;    // in the order of writing
    std::vector<std::string> ignored;  // what else the folder holds, left out
};

// Every file of a kind found in `folder`, its name in any case; what cannot be read is added
// to `problems`: anything else in the folder (unless options.ignoreOthers), two files of one
// kind, a heading missing (that may not be), unknown or repeated, a line with too many or too
// few fields, a cell its column refuses, a key repeated within the file.
Folder readFolder(const std::filesystem::path& folder, Problems& problems, const FolderOptions& options = {});

}  // namespace krv::server::transfer
