#pragma once
#include <cstddef>
#include <string>

namespace krv {

// Why a file that should hold text (a configuration, a secret) could not be read.
enum class FileProblem { None, Missing, Directory, NotRegular, Unreadable, TooLarge };

struct FileRead {
    FileProblem problem = FileProblem::None;
    std::string text;  // the file's bytes, when problem is None
    int error = 0;     // errno, for Unreadable
};

// Whole: a file longer than the limit is refused (TooLarge); Head: its first bytes are read.
enum class FileLimit { Whole, Head };

// Reads a regular file up to maxBytes. A FIFO, a device or a socket is refused by its
// kind before it is opened, and the open itself never waits, so a name given by mistake can
// neither hang the program nor feed it without end.
FileRead readRegularFile(const std::string& path, size_t maxBytes, FileLimit limit = FileLimit::Whole);

// The problem in Portuguese, as a message continues after the file's name ("é uma pasta").
std::string describeFileProblem(const FileRead& read, size_t maxBytes);

}  // namespace krv
