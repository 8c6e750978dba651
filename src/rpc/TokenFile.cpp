#include "rpc/TokenFile.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <stdexcept>

namespace krv::rpc {

std::string readTokenFile(const std::string& path) {
    std::ifstream in(path);
    if (!in) throw std::runtime_error("Não foi possível ler o arquivo de token " + path + ": " + std::strerror(errno));
    std::string line;
    std::getline(in, line);
    const char* blanks = " \t\r\n";
    const size_t first = line.find_first_not_of(blanks);
    if (first == std::string::npos) throw std::runtime_error("O arquivo de token " + path + " está vazio");
    return line.substr(first, line.find_last_not_of(blanks) - first + 1);
}

}  // namespace krv::rpc
