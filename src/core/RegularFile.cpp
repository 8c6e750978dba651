#include "core/RegularFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace krv {

namespace {

FileProblem kindProblem(const struct stat& status) {
    if (S_ISDIR(status.st_mode)) return FileProblem::Directory;
    return S_ISREG(status.st_mode) ? FileProblem::None : FileProblem::NotRegular;
}

FileRead failed(FileProblem problem, int error = 0) { return {problem, {}, error}; }

FileRead failedOpen(int error) {
    if (error == ENOENT || error == ENOTDIR) return failed(FileProblem::Missing);
    return failed(FileProblem::Unreadable, error);
}

}  // namespace

FileRead readRegularFile(const std::string& path, size_t maxBytes, FileLimit limit) {
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0) return failedOpen(errno);
    if (const FileProblem kind = kindProblem(status); kind != FileProblem::None) return failed(kind);
    // The name may have changed between stat and open: the kind is checked again on what was opened.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return failedOpen(errno);
    FileRead read;
    if (::fstat(fd, &status) != 0 || kindProblem(status) != FileProblem::None) {
        read = failed(kindProblem(status) == FileProblem::None ? FileProblem::Unreadable : kindProblem(status), errno);
    } else {
        read.text.resize(limit == FileLimit::Whole ? maxBytes + 1 : maxBytes);
        size_t filled = 0;
        while (filled < read.text.size()) {
            const ssize_t got = ::read(fd, read.text.data() + filled, read.text.size() - filled);
            if (got < 0 && errno == EINTR) continue;
            if (got < 0) read = failed(FileProblem::Unreadable, errno);
            if (got <= 0) break;
            filled += size_t(got);
        }
        read.text.resize(read.problem == FileProblem::None ? filled : 0);
        if (filled > maxBytes) read = failed(FileProblem::TooLarge);
    }
    ::close(fd);
    return read;
}

std::string describeFileProblem(const FileRead& read, size_t maxBytes) {
    switch (read.problem) {
        case FileProblem::None:
            return {};
        case FileProblem::Missing:
            return "não existe";
        case FileProblem::Directory:
            return "é uma pasta, não um arquivo";
        case FileProblem::NotRegular:
            return "não é um arquivo comum (FIFO, dispositivo ou soquete)";
        case FileProblem::Unreadable:
            return "não pode ser lido (" +
                   (read.error == EACCES ? std::string("sem permissão") : std::string(std::strerror(read.error))) + ")";
        case FileProblem::TooLarge:
            return "passa de " + std::to_string(maxBytes) + " bytes";
    }
    return {};
}

}  // namespace krv
