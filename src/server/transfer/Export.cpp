#include "server/transfer/Export.h"

#include <fstream>
#include <stdexcept>

#include "server/transfer/TransferStore.h"

namespace krv::server::transfer {

namespace {

constexpr const char* kLineEnd = "\r\n";

void writeLine(std::ofstream& out, const std::vector<std::string>& cells) {
    std::string line;
    for (size_t i = 0; i < cells.size(); ++i) (line += i ? ";" : "") += cells[i];
    out << line << kLineEnd;
}

}  // namespace

std::vector<ExportedFile> exportFolder(db::Connection& connection, const std::filesystem::path& folder) {
    std::filesystem::create_directories(folder);
    TransferStore store(connection);
    std::vector<ExportedFile> written;
    // One read transaction, so that the files agree with each other.
    connection.write([&](db::Connection&) {
        written.clear();
        for (const RecordKind& kind : recordKinds()) {
            const std::filesystem::path path = folder / kind.file;
            std::ofstream out(path, std::ios::binary | std::ios::trunc);
            if (!out) throw std::runtime_error("Não foi possível criar " + path.string());
            out << "\xEF\xBB\xBF";  // without it, a spreadsheet takes the file for Windows-1252
            std::vector<std::string> cells;
            for (const Column& column : kind.columns) cells.push_back(column.name);
            writeLine(out, cells);
            ExportedFile file{kind.file};
            store.each(kind, [&](Record&& record) {
                cells.clear();
                for (const Value& value : record) cells.push_back(writeCell(value));
                writeLine(out, cells);
                ++file.records;
            });
            out.close();
            if (!out) throw std::runtime_error("Não foi possível gravar " + path.string());
            written.push_back(file);
        }
    });
    return written;
}

}  // namespace krv::server::transfer
