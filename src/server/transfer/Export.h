#pragma once
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "server/storage/Database.h"

namespace krv::server::transfer {

struct ExportedFile {
    std::string file;
    size_t records = 0;
};

// One spreadsheet file as the export writes them: UTF-8 with a BOM, ";" between fields,
// CRLF line ends. Throws std::runtime_error when the file cannot be created or written.
class CsvFileWriter {
public:
    explicit CsvFileWriter(const std::filesystem::path& path);
    void line(const std::vector<std::string>& cells);  // cells already written by writeCell()
    void close();

private:
    std::filesystem::path path_;
    std::ofstream out_;
};

// Writes one file per kind of record into `folder` (created when missing), each with its
// header line, in UTF-8 with a BOM, ";" between fields, decimal comma and dd/mm/yyyy dates:
// a spreadsheet set to Brazilian Portuguese opens them as they are, and importing them gives
// back the same records. Throws std::runtime_error when a file cannot be written.
std::vector<ExportedFile> exportFolder(db::Connection& connection, const std::filesystem::path& folder);

}  // namespace krv::server::transfer
