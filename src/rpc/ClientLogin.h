#pragma once
#include <cstddef>
#include <string>

#include "rpc/Endpoint.h"

namespace krv::rpc {

// The environment variable that holds the operator's password for the client programs. A
// password is never an argument: the process list would show it to every user.
constexpr const char* kPasswordVariable = "KRV_SENHA";

// The login frame must stay within what a server reads before a login; a longer password is
// refused here with a clear text instead of the server closing the connection.
constexpr size_t kMaxPasswordBytes = 1024;

// How a client program reaches its server, as its command line names it; empty = not given.
struct ClientLogin {
    std::string operatorName;  // --operador
    std::string passwordFile;  // --senha-arquivo
    std::string tokenFile;     // --token-file
    std::string caFile;        // --ca
};

// Fills the endpoint's token, login and TLS fields. `environmentPassword` is the value of
// KRV_SENHA, nullptr when unset. A password file wins over KRV_SENHA: it is the one named
// for this run, while the variable may be left over in the shell. A token file and a
// password file together are refused: only one of them can be sent. Throws
// std::runtime_error with a Portuguese text that never holds the password.
void applyClientLogin(const ClientLogin& login, const char* environmentPassword, Endpoint& endpoint);

// The first line of the file without its line end; blanks are part of a password.
std::string readPasswordFile(const std::string& path);

}  // namespace krv::rpc
