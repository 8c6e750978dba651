#pragma once
// Files for the import tests: written by hand, or exported and then edited as a person would.
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

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

// "filiais.csv 1+ 2~ 4=": added, changed and unchanged of each file, and "3-" removed when any.
inline std::string countsOf(const transfer::ImportResult& result) {
    std::string all;
    for (const auto& f : result.files) {
        all += f.file + " " + std::to_string(f.added) + "+ " + std::to_string(f.changed) + "~ " +
               std::to_string(f.unchanged) + "=";
        if (f.removed) all += " " + std::to_string(f.removed) + "-";
        all += "\n";
    }
    return all;
}

}  // namespace krv::server::test
