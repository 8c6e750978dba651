#include "server/access/OperatorCommand.h"

#include <algorithm>

#include "rpc/ClientLogin.h"
#include "server/Backup.h"
#include "server/stores/Schema.h"

namespace krv::server {

namespace {

size_t characters(const std::string& utf8) {
    return size_t(std::count_if(utf8.begin(), utf8.end(), [](char c) { return (c & 0xC0) != 0x80; }));
}

}  // namespace

std::string passwordWeakness(const std::string& password) {
    if (password.size() > rpc::kMaxPasswordBytes)
        return "tem " + std::to_string(password.size()) + " bytes, mais que o máximo de " +
               std::to_string(rpc::kMaxPasswordBytes) + " (o login não a levaria ao servidor)";
    if (characters(password) < kMinPasswordChars)
        return "tem menos de " + std::to_string(kMinPasswordChars) + " caracteres";
    if (password.find_first_not_of(" \t") == std::string::npos) return "só tem espaços";
    return {};
}

int createOperator(const std::string& database, const std::string& name, std::istream& in, std::ostream& out,
                   std::ostream& err, HashCost cost, Clock clock) {
    std::string password;
    std::getline(in, password);
    if (!password.empty() && password.back() == '\r') password.pop_back();
    if (password.empty()) {
        err << "krv-server: a senha do operador " << name << " não pode ser vazia (uma linha na entrada padrão)\n";
        return 1;
    }
    if (const std::string weakness = passwordWeakness(password); !weakness.empty()) {
        err << "krv-server: senha recusada para o operador " << name << ": " << weakness << "\n";
        return 1;
    }
    try {
        // Slow on purpose, so it is done before the database is touched.
        const std::string hash = hashPassword(password, cost);
        const auto db = db::openDatabase(database);
        db::Connection& connection = db->connection();
        backupBeforeMigration(database, [&](const std::string& line) { err << "krv-server: " << line << "\n"; });
        migrate(connection);
        OperatorStore operators(connection);
        const bool existed = operators.password(name).has_value();
        operators.save(name, hash, password == kDemoPassword, clock());
        out << (existed ? "Senha do operador " + name + " trocada." : "Operador " + name + " criado.") << std::endl;
        return 0;
    } catch (const std::exception& e) {
        err << "krv-server: " << e.what() << "\n";
        return 1;
    }
}

}  // namespace krv::server
