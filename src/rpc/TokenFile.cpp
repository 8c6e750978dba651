#include "rpc/TokenFile.h"

#include <sys/stat.h>

#include <iostream>
#include <stdexcept>

#include "core/RegularFile.h"

namespace krv::rpc {

namespace {

[[noreturn]] void refuse(const std::string& text) { throw std::runtime_error(text); }

void warnWhenOthersMayRead(const std::string& path, const std::string& what) {
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0 || !S_ISREG(status.st_mode) || (status.st_mode & 077) == 0) return;
    char mode[8];
    std::snprintf(mode, sizeof mode, "%04o", unsigned(status.st_mode & 07777));
    std::cerr << "aviso: o arquivo " << what << " " << path << " pode ser lido por outros usuários (permissões " << mode
              << "); use chmod 600 " << path << "\n";
}

}  // namespace

std::string withoutLineEnd(std::string line) {
    if (line.ends_with('\n')) line.pop_back();
    if (line.ends_with('\r')) line.pop_back();
    return line;
}

std::string readSecretFile(const std::string& path, const std::string& what) {
    const FileRead read = readRegularFile(path, kMaxSecretFileBytes + 1, FileLimit::Head);
    if (read.problem != FileProblem::None)
        refuse("Não foi possível ler o arquivo " + what + " " + path + ": " +
               describeFileProblem(read, kMaxSecretFileBytes));
    const size_t end = read.text.find('\n');
    if (end == std::string::npos && read.text.size() > kMaxSecretFileBytes)
        refuse("O arquivo " + what + " " + path + " passa de " + std::to_string(kMaxSecretFileBytes) +
               " bytes na primeira linha");
    warnWhenOthersMayRead(path, what);
    return withoutLineEnd(read.text.substr(0, end == std::string::npos ? read.text.size() : end + 1));
}

std::string readTokenFile(const std::string& path) {
    const std::string line = readSecretFile(path, "de token");
    const char* blanks = " \t\r\n";
    const size_t first = line.find_first_not_of(blanks);
    if (first == std::string::npos) refuse("O arquivo de token " + path + " está vazio");
    return line.substr(first, line.find_last_not_of(blanks) - first + 1);
}

}  // namespace krv::rpc
