#pragma once
#include <cstddef>
#include <string>

namespace krv::rpc {

// A token or password file is read this far and no further: /dev/zero or a log named by
// mistake is refused instead of filling the memory.
inline constexpr size_t kMaxSecretFileBytes = 4096;

// The first line of a file that holds a secret, without its line end ("\n" or "\r\n").
// `what` names it in messages ("de token", "de senha"). Refuses (std::runtime_error) a
// folder, an unreadable file, and a first line longer than kMaxSecretFileBytes; warns on
// standard error, naming the file, when group or others may read it, as ssh does for keys.
std::string readSecretFile(const std::string& path, const std::string& what);

// The line without one trailing "\n" and then one "\r", as a file's first line is read.
std::string withoutLineEnd(std::string line);

// The shared token kept in a file (its first line, without surrounding blanks).
// Throws std::runtime_error with a clear text when the file cannot be read or holds no
// token: an empty token would silently turn authentication off.
std::string readTokenFile(const std::string& path);

}  // namespace krv::rpc
