#pragma once
#include <filesystem>
#include <string>
#include <vector>

#include "server/storage/Database.h"

namespace krv::server::transfer {

struct ExportedFile {
    std::string file;
    size_t records = 0;
};

// Writes one file per kind of record into `folder` (created when missing), each with its
// header line, in UTF-8 with a BOM, ";" between fields, decimal comma and dd/mm/yyyy dates:
// a spreadsheet set to Brazilian Portuguese opens them as they are, and importing them gives
// back the same records. Throws std::runtime_error when a file cannot be written.
std::vector<ExportedFile> exportFolder(db::Connection& connection, const std::filesystem::path& folder);

}  // namespace krv::server::transfer
