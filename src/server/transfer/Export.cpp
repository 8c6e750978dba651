#include "server/transfer/Export.h"

#include <fstream>
#include <stdexcept>

#include "server/transfer/TransferStore.h"

namespace krv::server::transfer {

namespace {

constexpr const char* kLineEnd = "\r\n";

}  // namespace

CsvFileWriter::CsvFileWriter(const std::filesystem::path& path)
    : path_(path), out_(path, std::ios::binary | std::ios::trunc) {
    if (!out_) throw std::runtime_error("Não foi possível criar " + path.string());
    out_ << "\xEF\xBB\xBF";  // without it, a spreadsheet takes the file for Windows-1252
}

void CsvFileWriter::line(const std::vector<std::string>& cells) {
    std::string text;
    for (size_t i = 0; i < cells.size(); ++i) (text += i ? ";" : "") += cells[i];
    out_ << text << kLineEnd;
}

void CsvFileWriter::close() {
    out_.close();
    if (!out_) throw std::runtime_error("Não foi possível gravar " + path_.string());
}

std::vector<ExportedFile> exportFolder(db::Connection& connection, const std::filesystem::path& folder) {
    std::filesystem::create_directories(folder);
    TransferStore store(connection);
    std::vector<ExportedFile> written;
    // One read transaction, so that the files agree with each other.
    connection.write([&](db::Connection&) {
        written.clear();
        for (const RecordKind& kind : recordKinds()) {
            CsvFileWriter out(folder / kind.file);
            std::vector<std::string> cells;
            for (const Column& column : kind.columns) cells.push_back(column.name);
            out.line(cells);
            ExportedFile file{kind.file};
            store.each(kind, [&](Record&& record) {
                cells.clear();
                for (const Value& value : record) cells.push_back(writeCell(value));
                out.line(cells);
                ++file.records;
            });
            out.close();
            written.push_back(file);
        }
    });
    return written;
}

}  // namespace krv::server::transfer
