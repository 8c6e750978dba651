#include "server/transfer/FileRecords.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <set>
#include <utility>

#include "core/Text.h"
#include "server/transfer/CsvReader.h"

namespace krv::server::transfer {

namespace {

// What `krv-dados modelos` writes beside the templates.
constexpr const char* kReadMe = "leiame.txt";

std::string lowered(std::string_view text) {
    std::string out(trimmed(text));
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    return out;
}

// Where a column whose heading the file may leave out, and does, is.
constexpr size_t kAbsent = size_t(-1);

// Where each of the kind's columns is in the file; nullopt when the header is wrong.
std::optional<std::vector<size_t>> columnPositions(FileRecords& file, const std::vector<std::string>& header,
                                                   Problems& problems) {
    const RecordKind& kind = *file.kind;
    const size_t before = problems.total();
    std::vector<size_t> positions(kind.columns.size(), header.size());
    std::set<std::string> seen;
    for (size_t at = 0; at < header.size(); ++at) {
        const std::string name = lowered(header[at]);
        size_t column = 0;
        while (column < kind.columns.size() && kind.columns[column].name != name) ++column;
        if (!seen.insert(name).second)
            problems.add(file.name, 1, header[at], "coluna repetida");
        else if (column == kind.columns.size())
            problems.add(file.name, 1, header[at], "coluna desconhecida");
        else
            positions[column] = at;
    }
    for (size_t column = 0; column < kind.columns.size(); ++column) {
        if (positions[column] != header.size()) continue;
        if (kind.columns[column].absentAs) {
            positions[column] = kAbsent;
            file.absent.push_back(int(column));
        } else {
            problems.add(file.name, 1, kind.columns[column].name, "coluna ausente");
        }
    }
    if (problems.total() != before) return std::nullopt;
    return positions;
}

// What a file's cell may not say beyond its own form: a day after today.
std::string beyondToday(const CellReading& cell, const Column& column, DateTime today) {
    if (!column.notAfterToday || !cell.problem.empty()) return {};
    const DateTime day = std::get<DateTime>(cell.value);
    return day > today ? "data posterior a hoje (" + today.toBr() + "): \"" + day.toBr() + "\"" : std::string();
}

void readRecord(FileRecords& out, size_t line, const std::vector<std::string>& fields,
                const std::vector<size_t>& positions, DecimalMark mark, DateTime today, Problems& problems) {
    const RecordKind& kind = *out.kind;
    const size_t width = positions.size() - out.absent.size();
    if (fields.size() != width) {
        problems.add(out.name, line, "", std::to_string(fields.size()) + " campos, esperados " + std::to_string(width));
        return;
    }
    Record record;
    record.reserve(kind.columns.size());
    bool whole = true;
    for (size_t column = 0; column < kind.columns.size(); ++column) {
        const Column& wanted = kind.columns[column];
        const std::string_view text = positions[column] == kAbsent ? std::string_view(wanted.absentAs)
                                                                   : std::string_view(fields[positions[column]]);
        CellReading cell = readCell(text, wanted, mark);
        if (std::string late = beyondToday(cell, wanted, today); !late.empty()) cell.problem = std::move(late);
        if (!cell.problem.empty()) {
            problems.add(out.name, line, kind.columns[column].name, cell.problem);
            whole = false;
        }
        out.padded += cell.padded;
        out.trimmed += cell.trimmed;
        record.push_back(std::move(cell.value));
    }
    if (!whole) return;
    if (kind.single && !out.records.empty()) {
        problems.add(out.name, line, "", "o arquivo tem uma linha só");
        return;
    }
    const auto [at, added] = out.byKey.emplace(keyText(record, kind.keyColumns()), out.records.size());
    if (!added) {
        problems.add(out.name, line, kind.columnNames(kind.keyColumns()),
                     "chave repetida (já na linha " + std::to_string(out.lines[at->second]) + ")");
        return;
    }
    out.records.push_back(std::move(record));
    out.lines.push_back(line);
}

FileRecords readFile(const RecordKind& kind, const std::filesystem::path& path, Problems& problems,
                     const FolderOptions& options) {
    FileRecords out{&kind, path.filename().string()};
    std::ifstream in(path, std::ios::binary);
    std::string bytes(std::istreambuf_iterator<char>(in), {});
    if (!in.good() && !in.eof()) {
        problems.add(out.name, 0, "", "não foi possível ler o arquivo");
        return out;
    }
    const DecimalMark mark = decimalMarkOf(fieldSeparator(bytes));
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
                positions = columnPositions(out, fields, problems);
            else if (positions)
                readRecord(out, line, fields, *positions, mark, options.today, problems);
        },
        [&](size_t done, size_t total) {
            if (options.progress) options.progress(kind.file, done, total);
        });
    if (!end.sawHeader && end.problem.empty()) problems.add(out.name, 1, "", "arquivo vazio, sem a linha de títulos");
    if (!end.problem.empty()) problems.add(out.name, end.problemLine, "", end.problem);
    return out;
}

const RecordKind* kindOfFile(const std::string& name) {
    for (const RecordKind& kind : recordKinds())
        if (kind.file == name) return &kind;
    return nullptr;
}

// Every other thing in the folder is named, so that nothing is left out without a word: a
// file saved as "receitas.txt" or put in a subfolder would otherwise import nothing.
std::string whyNotRead(const std::string& name, bool folder) {
    const std::string ignore = "; --ignorar-outros o deixa de lado";
    if (folder) return name + ": subpasta (só os arquivos da própria pasta são lidos)" + ignore;
    if (name.starts_with(".~lock."))
        return name + ": a planilha ainda tem o arquivo aberto; salve-o e feche-o antes de importar" + ignore;
    std::string text = name + ": arquivo desconhecido (os nomes aceitos são os que a exportação grava)";
    const std::string stem = lowered(std::filesystem::path(name).stem().string());
    if (const RecordKind* kind = kindOfFile(stem + ".csv")) text += ": seria " + kind->file + "?";
    return text + ignore;
}

}  // namespace

Folder readFolder(const std::filesystem::path& folder, Problems& problems, const FolderOptions& options) {
    Folder out;
    std::error_code error;
    if (!std::filesystem::is_directory(folder, error)) {
        problems.add(folder.string() + ": pasta não encontrada");
        return out;
    }
    // In name order, so that messages come out the same on every system.
    std::vector<std::filesystem::directory_entry> entries(std::filesystem::directory_iterator(folder), {});
    std::sort(entries.begin(), entries.end());
    std::map<const RecordKind*, std::filesystem::path> found;
    for (const auto& entry : entries) {
        const std::string name = entry.path().filename().string();
        const bool subfolder = entry.is_directory(error);
        const RecordKind* kind = subfolder ? nullptr : kindOfFile(lowered(name));
        if (kind && !found.emplace(kind, entry.path()).second) {
            problems.add(name + ": outro arquivo de " + kind->file + " além de " + found[kind].filename().string() +
                         "; deixe só um na pasta");
        } else if (!kind) {
            if (options.ignoreOthers || lowered(name) == kReadMe)
                out.ignored.push_back(name + (subfolder ? "/" : ""));
            else
                problems.add(whyNotRead(name, subfolder));
        }
    }
    for (const RecordKind& kind : recordKinds())
        if (const auto file = found.find(&kind); file != found.end())
            out.files.push_back(readFile(kind, file->second, problems, options));
    if (out.files.empty() && problems.empty()) problems.add(folder.string() + ": nenhum arquivo para importar");
    return out;
}

}  // namespace krv::server::transfer
