#pragma once
// Files for the import tests: written by hand, or exported and then edited as a person would.
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "server/transfer/Import.h"

namespace krv::server::test {

inline std::string readText(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

inline void writeText(const std::filesystem::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

// Leaves out the lines that start with `prefix`, as a person deleting rows would.
inline void dropLines(const std::filesystem::path& path, const std::string& prefix) {
    std::istringstream in(readText(path));
    std::string kept, line;
    while (std::getline(in, line))
        if (!line.starts_with(prefix)) kept += line + "\n";
    writeText(path, kept);
}

inline std::string problemsOf(const transfer::ImportResult& result) {
    std::string all;
    for (const std::string& problem : result.problems) all += problem + "\n";
    return all;
}

// "filiais.csv 1+ 2~ 4=": added, changed and unchanged of each file, and when any "3-"
// removed, "2r" replaced, "5z" codes completed with zeros.
inline std::string countsOf(const transfer::ImportResult& result) {
    std::string all;
    for (const auto& f : result.files) {
        all += f.file + " " + std::to_string(f.added) + "+ " + std::to_string(f.changed) + "~ " +
               std::to_string(f.unchanged) + "=";
        if (f.removed) all += " " + std::to_string(f.removed) + "-";
        if (f.replaced) all += " " + std::to_string(f.replaced) + "r";
        if (f.padded) all += " " + std::to_string(f.padded) + "z";
        all += "\n";
    }
    return all;
}

// The lines of a file without their line ends, the header first.
inline std::vector<std::string> linesOf(const std::filesystem::path& path) {
    std::istringstream in(readText(path));
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

inline std::vector<std::string> fieldsOf(const std::string& line) {
    std::vector<std::string> fields;
    std::istringstream in(line);
    for (std::string field; std::getline(in, field, ';');) fields.push_back(field);
    return fields;
}

inline void writeLines(const std::filesystem::path& path, const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) text += line + "\r\n";
    writeText(path, text);
}

}  // namespace krv::server::test
