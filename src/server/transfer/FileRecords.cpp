#include "server/transfer/FileRecords.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <optional>
#include <set>
#include <utility>

#include "core/Text.h"
#include "server/transfer/CsvReader.h"

namespace krv::server::transfer {

namespace {

std::string lowered(std::string_view text) {
    std::string out(trimmed(text));
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    return out;
}

// Where each of the kind's columns is in the file; nullopt when the header is wrong.
std::optional<std::vector<size_t>> columnPositions(const RecordKind& kind, const std::vector<std::string>& header,
                                                   Problems& problems) {
    const size_t before = problems.total();
    std::vector<size_t> positions(kind.columns.size(), header.size());
    std::set<std::string> seen;
    for (size_t at = 0; at < header.size(); ++at) {
        const std::string name = lowered(header[at]);
        size_t column = 0;
        while (column < kind.columns.size() && kind.columns[column].name != name) ++column;
        if (!seen.insert(name).second)
            problems.add(kind.file, 1, header[at], "coluna repetida");
        else if (column == kind.columns.size())
            problems.add(kind.file, 1, header[at], "coluna desconhecida");
        else
            positions[column] = at;
    }
    for (size_t column = 0; column < kind.columns.size(); ++column)
        if (positions[column] == header.size()) problems.add(kind.file, 1, kind.columns[column].name, "coluna ausente");
    if (problems.total() != before) return std::nullopt;
    return positions;
}

void readRecord(FileRecords& out, size_t line, const std::vector<std::string>& fields,
                const std::vector<size_t>& positions, Problems& problems) {
    const RecordKind& kind = *out.kind;
    if (fields.size() != positions.size()) {
        problems.add(kind.file, line, "",
                     std::to_string(fields.size()) + " campos, esperados " + std::to_string(positions.size()));
        return;
    }
    Record record;
    record.reserve(kind.columns.size());
    bool whole = true;
    for (size_t column = 0; column < kind.columns.size(); ++column) {
        CellReading cell = readCell(fields[positions[column]], kind.columns[column]);
        if (!cell.problem.empty()) {
            problems.add(kind.file, line, kind.columns[column].name, cell.problem);
            whole = false;
        }
        record.push_back(std::move(cell.value));
    }
    if (!whole) return;
    if (kind.single && !out.records.empty()) {
        problems.add(kind.file, line, "", "o arquivo tem uma linha só");
        return;
    }
    const auto [at, added] = out.byKey.emplace(keyText(record, kind.keyColumns()), out.records.size());
    if (!added) {
        problems.add(kind.file, line, kind.columnNames(kind.keyColumns()),
                     "chave repetida (já na linha " + std::to_string(out.lines[at->second]) + ")");
        return;
    }
    out.records.push_back(std::move(record));
    out.lines.push_back(line);
}

FileRecords readFile(const RecordKind& kind, const std::filesystem::path& path, Problems& problems,
                     const ImportProgress& progress) {
    FileRecords out{&kind};
    std::ifstream in(path, std::ios::binary);
    std::string bytes(std::istreambuf_iterator<char>(in), {});
    if (!in.good() && !in.eof()) {
        problems.add(kind.file, 0, "", "não foi possível ler o arquivo");
        return out;
    }
    const auto lines = size_t(std::count(bytes.begin(), bytes.end(), '\n'));
    out.records.reserve(lines);
    out.lines.reserve(lines);
    out.byKey.reserve(lines);
    std::optional<std::vector<size_t>> positions;
    bool headerRead = false;
    const CsvEnd end = readCsv(
        std::move(bytes),
        [&](size_t line, std::vector<std::string>& fields) {
            if (!std::exchange(headerRead, true))
                positions = columnPositions(kind, fields, problems);
            else if (positions)
                readRecord(out, line, fields, *positions, problems);
        },
        [&](size_t done, size_t total) {
            if (progress) progress(kind.file, done, total);
        });
    if (!end.sawHeader && end.problem.empty()) problems.add(kind.file, 1, "", "arquivo vazio, sem a linha de títulos");
    if (!end.problem.empty()) problems.add(kind.file, end.problemLine, "", end.problem);
    return out;
}

}  // namespace

std::vector<FileRecords> readFolder(const std::filesystem::path& folder, Problems& problems,
                                    const ImportProgress& progress) {
    std::vector<FileRecords> files;
    std::error_code error;
    if (!std::filesystem::is_directory(folder, error)) {
        problems.add(folder.string() + ": pasta não encontrada");
        return files;
    }
    std::set<std::string> known;
    for (const RecordKind& kind : recordKinds()) {
        known.insert(kind.file);
        if (std::filesystem::exists(folder / kind.file))
            files.push_back(readFile(kind, folder / kind.file, problems, progress));
    }
    // A file named slightly wrong would otherwise be left out without a word.
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        if (entry.path().extension() == ".csv" && !known.count(name))
            problems.add(name + ": arquivo desconhecido (os nomes aceitos são os que a exportação grava)");
    }
    if (files.empty() && problems.empty()) problems.add(folder.string() + ": nenhum arquivo para importar");
    return files;
}

}  // namespace krv::server::transfer
