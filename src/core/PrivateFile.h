#pragma once
#include <sys/types.h>

#include <string>

namespace krv {

// The mode of a file holding the company's data (operators' password hashes among them) in
// `folder`: 0600, or 0640 when the folder lets its group read, as the package's /var/lib/krv
// (0750, krv:krv) does for the group krv.
mode_t privateFileMode(const std::string& folder);

// Creates `path` empty with privateFileMode of its folder, whatever the umask, when it does not
// exist yet; a file already there keeps its mode. Programs that create it afterwards (SQLite)
// then open a file that is already private, and SQLite gives its -wal and -shm the same mode.
void createPrivateFile(const std::string& path);

}  // namespace krv
