#include "rpc/ClientLogin.h"

#include <stdexcept>

#include "core/RegularFile.h"
#include "rpc/TokenFile.h"

namespace krv::rpc {

namespace {

[[noreturn]] void refuse(const std::string& text) { throw std::runtime_error(text); }

void requireReadable(const std::string& path, const std::string& what) {
    const FileRead read = readRegularFile(path, 1, FileLimit::Head);
    if (read.problem != FileProblem::None)
        refuse("Não foi possível ler o arquivo " + what + " " + path + ": " + describeFileProblem(read, 1));
}

std::string checkedPassword(std::string password, const std::string& source) {
    if (password.empty()) refuse("A senha do operador está vazia (" + source + ")");
    if (password.size() > kMaxPasswordBytes)
        refuse("A senha do operador passa de " + std::to_string(kMaxPasswordBytes) + " bytes (" + source + ")");
    return password;
}

std::string passwordOf(const ClientLogin& login, const char* environmentPassword) {
    if (!login.passwordFile.empty())
        return checkedPassword(readPasswordFile(login.passwordFile), "arquivo " + login.passwordFile);
    // A password set with its line end ("x\r\n") is the one its file would give.
    if (environmentPassword) return checkedPassword(withoutLineEnd(environmentPassword), kPasswordVariable);
    refuse(std::string("Informe a senha do operador na variável ") + kPasswordVariable +
           " ou com --senha-arquivo ARQUIVO");
}

}  // namespace

std::string readPasswordFile(const std::string& path) { return readSecretFile(path, "de senha"); }

void applyClientLogin(const ClientLogin& login, const char* environmentPassword, Endpoint& endpoint) {
    if (!login.caFile.empty()) {
        requireReadable(login.caFile, "da autoridade certificadora");
        endpoint.tls = true;
        endpoint.caFile = login.caFile;
    }
    if (!login.passwordFile.empty() && !login.tokenFile.empty())
        refuse("Use --senha-arquivo ou --token-file, não os dois");
    if (!login.tokenFile.empty()) {
        endpoint.token = readTokenFile(login.tokenFile);
        return;
    }
    if (login.operatorName.empty()) {
        if (!login.passwordFile.empty()) refuse("--senha-arquivo exige --operador NOME");
        return;
    }
    endpoint.password = passwordOf(login, environmentPassword);
    endpoint.operatorName = login.operatorName;
}

}  // namespace krv::rpc
