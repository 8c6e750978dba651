#include "server/access/OperatorCommand.h"

#include "server/stores/Schema.h"

namespace krv::server {

int createOperator(const std::string& database, const std::string& name, std::istream& in, std::ostream& out,
                   std::ostream& err, HashCost cost, Clock clock) {
    std::string password;
    std::getline(in, password);
    if (!password.empty() && password.back() == '\r') password.pop_back();
    if (password.empty()) {
        err << "krv-server: a senha do operador " << name << " não pode ser vazia (uma linha na entrada padrão)\n";
        return 1;
    }
    try {
        // Slow on purpose, so it is done before the database is touched.
        const std::string hash = hashPassword(password, cost);
        const auto db = db::openDatabase(database);
        db::Connection& connection = db->connection();
        migrate(connection);
        OperatorStore operators(connection);
        const bool existed = operators.passwordHash(name).has_value();
        operators.save(name, hash, password == kDemoPassword, clock());
        out << (existed ? "Senha do operador " + name + " trocada." : "Operador " + name + " criado.") << std::endl;
        return 0;
    } catch (const std::exception& e) {
        err << "krv-server: " << e.what() << "\n";
        return 1;
    }
}

}  // namespace krv::server
