#pragma once
#include <filesystem>
#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

#include "server/transfer/Cells.h"
#include "server/transfer/Problems.h"
#include "server/transfer/RecordKinds.h"

namespace krv::server::transfer {

// Told now and then how far the reading of a file has come, in lines.
using ImportProgress = std::function<void(const std::string& file, size_t done, size_t total)>;

// The records of one file, each read as its columns want it, with the line it came from.
struct FileRecords {
    const RecordKind* kind = nullptr;
    std::vector<Record> records;
    std::vector<size_t> lines;
    std::unordered_map<std::string, size_t> byKey;  // keyText of the key → index

    bool has(const std::string& key) const { return byKey.count(key) != 0; }
};

// Every file of a kind found in `folder`, in the order of writing; what cannot be read is
// added to `problems`: a file no kind has, a heading missing, unknown or repeated, a line with
// too many or too few fields, a cell its column refuses, a key repeated within the file.
std::vector<FileRecords> readFolder(const std::filesystem::path& folder, Problems& problems,
                                    const ImportProgress& progress = {});

}  // namespace krv::server::transfer
