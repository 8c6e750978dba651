#include "core/PrivateFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

namespace krv {

mode_t privateFileMode(const std::string& folder) {
    struct stat status {};
    const bool groupReads = ::stat(folder.empty() ? "." : folder.c_str(), &status) == 0 && (status.st_mode & S_IRGRP);
    return groupReads ? 0640 : 0600;
}

void createPrivateFile(const std::string& path) {
    const mode_t mode = privateFileMode(std::filesystem::path(path).parent_path().string());
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
    // There already (it keeps its mode), or the folder refuses: the caller's own open says why.
    if (fd < 0) return;
    ::fchmod(fd, mode);  // the umask could only have taken bits away
    ::close(fd);
}

}  // namespace krv
