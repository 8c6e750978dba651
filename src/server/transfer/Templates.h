#pragma once
#include <filesystem>
#include <string>
#include <vector>

namespace krv::server::transfer {

// Writes into `folder` (created when missing) every file of a kind with its header line
// alone, as the export writes them, and LEIAME.txt: each file's columns (meaning, type,
// width, whether required, an example, what they refer to), the order to fill the files in
// and what the calculation needs. Returns the names written. Throws std::runtime_error when
// a file cannot be written.
std::vector<std::string> writeTemplates(const std::filesystem::path& folder);

// The text of LEIAME.txt.
std::string readMeText();

}  // namespace krv::server::transfer
