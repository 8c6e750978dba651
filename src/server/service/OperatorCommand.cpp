#include "server/service/OperatorCommand.h"

#include <algorithm>
#include <cstdio>
#include <set>
#include <stdexcept>

#include "rpc/ClientLogin.h"
#include "server/access/Permissions.h"
#include "server/checks/Arguments.h"
#include "server/service/Backup.h"
#include "server/stores/AuditStore.h"
#include "server/stores/Schema.h"

namespace krv::server {

namespace {

// A refusal of the command: its text goes to standard error and the status is 1.
constexpr size_t kMaxPasswordInput = 4096;

struct CommandRefusal : std::runtime_error {
    using std::runtime_error::runtime_error;
};

size_t characters(const std::string& utf8) {
    return size_t(std::count_if(utf8.begin(), utf8.end(), [](char c) { return (c & 0xC0) != 0x80; }));
}

// A password is one line; standard input is read up to its end and never past
// kMaxPasswordInput bytes (/dev/zero or a log given by mistake stops there).
std::string readPassword(const std::string& name, std::istream& in) {
    std::string password;
    char c = 0;
    while (password.size() <= kMaxPasswordInput && in.get(c) && c != '\n') password.push_back(c);
    if (password.size() > kMaxPasswordInput)
        throw CommandRefusal("a senha do operador " + name + " passa de " + std::to_string(kMaxPasswordInput) +
                             " bytes (uma linha na entrada padrão)");
    if (!password.empty() && password.back() == '\r') password.pop_back();
    if (password.empty())
        throw CommandRefusal("a senha do operador " + name + " não pode ser vazia (uma linha na entrada padrão)");
    if (const std::string weakness = passwordWeakness(password); !weakness.empty())
        throw CommandRefusal("senha recusada para o operador " + name + ": " + weakness);
    return password;
}

// The password of standard input, hashed, and whether it is the demo one.
struct NewPassword {
    std::string hash;
    bool demo = false;
};
NewPassword readNewPassword(const std::string& name, std::istream& in, HashCost cost) {
    const std::string password = readPassword(name, in);
    return {hashPassword(password, cost), password == kDemoPassword};
}

std::string roleOf(const std::string& word) {
    if (roleNamed(word)) return word;
    std::string names;
    for (const Role role : allRoles()) names += (names.empty() ? "" : ", ") + roleName(role);
    throw CommandRefusal("papel desconhecido: \"" + word + "\" (use " + names + ")");
}

// nullopt: every branch ("T").
std::optional<std::set<std::string>> branchesOf(const std::string& name, const std::string& word) {
    if (word == "T") return std::nullopt;
    std::set<std::string> codes;
    size_t from = 0;
    while (from <= word.size()) {
        const size_t comma = std::min(word.find(',', from), word.size());
        const std::string code = word.substr(from, comma - from);
        if (!code.empty() && !isCode(code, 4)) throw CommandRefusal("filial inválida em --filiais: \"" + code + "\"");
        if (!code.empty()) codes.insert(code);
        from = comma + 1;
    }
    if (codes.empty())
        throw CommandRefusal("o operador " + name + " precisa de ao menos uma filial (--filiais 0001,0002 ou T)");
    return codes;
}

struct Grant {
    std::string role;
    std::optional<std::set<std::string>> branches;
    bool administersAll() const { return role == roleName(Role::Administrator) && !branches; }
};

// The words over what is stored (nothing, for an operator to be created).
Grant merged(const std::string& name, const GrantWords& words, const std::optional<OperatorStore::Grant>& stored) {
    Grant grant;
    grant.role = words.role ? roleOf(*words.role) : stored ? stored->role : "";
    if (words.branches)
        grant.branches = branchesOf(name, *words.branches);
    else if (stored && !stored->allBranches)
        grant.branches = stored->branches;
    return grant;
}

void requireBranchesExist(OperatorStore& operators, const Grant& grant) {
    if (!grant.branches) return;
    const std::vector<std::string> unknown = operators.unknownBranches(*grant.branches);
    if (!unknown.empty()) throw CommandRefusal("filial " + unknown.front() + " não cadastrada");
}

// Someone must be left who can manage operators and act for every branch.
void keepAnAdministrator(OperatorStore& operators, const std::string& name, const OperatorStore::Grant& stored,
                         bool staysAdministrator) {
    const bool administers = stored.active && stored.role == roleName(Role::Administrator) && stored.allBranches;
    if (administers && !staysAdministrator && operators.otherActiveAdministrators(name) == 0)
        throw CommandRefusal("o operador " + name +
                             " é o último administrador ativo de todas as filiais: crie ou altere outro antes");
}

OperatorStore::Grant requireExisting(OperatorStore& operators, const std::string& name) {
    const auto stored = operators.grant(name);
    if (!stored) throw CommandRefusal("operador " + name + " não cadastrado");
    return *stored;
}

// Runs one command on the migrated database; a refusal or a failure is said on `err`.
template <class Work>
int run(const std::string& database, std::ostream& err, Work work) {
    try {
        const auto db = db::openDatabase(database);
        db::Connection& connection = db->connection();
        backupBeforeMigration(database, [&](const std::string& line) { err << "krv-server: " << line << "\n"; });
        migrate(connection);
        work(connection);
        return 0;
    } catch (const std::exception& e) {
        err << "krv-server: " << e.what() << "\n";
        return 1;
    }
}

std::string whenText(const std::optional<DateTime>& moment) {
    if (!moment) return "nunca";
    char time[24];  // wide enough for any int, so the compiler sees no truncation
    const int second = moment->secondOfDay();
    std::snprintf(time, sizeof time, " %02d:%02d:%02d", second / 3600, second / 60 % 60, second % 60);
    return moment->toBr() + time;
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
                   std::ostream& err, HashCost cost, Clock clock, const GrantWords& grant) {
    NewPassword password;
    try {
        // Words first, so a mistyped role costs no password; then the slow hash, before the
        // database is touched.
        merged(name, grant, std::nullopt);
        password = readNewPassword(name, in, cost);
    } catch (const std::exception& e) {
        err << "krv-server: " << e.what() << "\n";
        return 1;
    }
    return run(database, err, [&](db::Connection& connection) {
        connection.write([&](db::Connection& c) {
            OperatorStore operators(c);
            const auto stored = operators.grant(name);
            if (!stored && (!grant.role || !grant.branches))
                throw CommandRefusal("para criar o operador " + name + " informe --papel e --filiais");
            const Grant wanted = merged(name, grant, stored);
            requireBranchesExist(operators, wanted);
            if (stored) keepAnAdministrator(operators, name, *stored, wanted.administersAll());
            operators.save(name, password.hash, password.demo, clock());
            if (grant.role || grant.branches) operators.saveGrant(name, wanted.role, wanted.branches);
            out << (stored ? "Senha do operador " + name + " trocada." : "Operador " + name + " criado.") << std::endl;
        });
    });
}

int alterOperator(const std::string& database, const std::string& name, const GrantWords& grant, bool newPassword,
                  std::istream& in, std::ostream& out, std::ostream& err, HashCost cost, Clock clock) {
    std::optional<NewPassword> password;
    try {
        merged(name, grant, std::nullopt);
        if (newPassword) password = readNewPassword(name, in, cost);
    } catch (const std::exception& e) {
        err << "krv-server: " << e.what() << "\n";
        return 1;
    }
    return run(database, err, [&](db::Connection& connection) {
        connection.write([&](db::Connection& c) {
            OperatorStore operators(c);
            const OperatorStore::Grant stored = requireExisting(operators, name);
            const Grant wanted = merged(name, grant, stored);
            requireBranchesExist(operators, wanted);
            keepAnAdministrator(operators, name, stored, wanted.administersAll());
            if (password) operators.save(name, password->hash, password->demo, clock());
            operators.saveGrant(name, wanted.role, wanted.branches);
        });
        out << "Operador " << name << " alterado." << std::endl;
    });
}

int deactivateOperator(const std::string& database, const std::string& name, std::ostream& out, std::ostream& err) {
    return run(database, err, [&](db::Connection& connection) {
        connection.write([&](db::Connection& c) {
            OperatorStore operators(c);
            const OperatorStore::Grant stored = requireExisting(operators, name);
            keepAnAdministrator(operators, name, stored, false);
            operators.setActive(name, false);
        });
        out << "Operador " << name << " desativado." << std::endl;
    });
}

int listOperators(const std::string& database, std::ostream& out, std::ostream& err) {
    return run(database, err, [&](db::Connection& connection) {
        out << "OPERADOR\tPAPEL\tFILIAIS\tATIVO\tÚLTIMO LOGIN\n";
        for (const auto& [name, grant] : OperatorStore(connection).all()) {
            std::string branches;
            for (const std::string& branch : grant.branches) branches += (branches.empty() ? "" : ",") + branch;
            out << name << "\t" << grant.role << "\t" << (grant.allBranches ? "T" : branches) << "\t"
                << (grant.active ? "S" : "N") << "\t" << whenText(grant.lastLogin) << "\n";
        }
        out << std::flush;
    });
}

int printAudit(const std::string& database, DateTime firstDay, DateTime lastDay, std::ostream& out, std::ostream& err) {
    return run(database, err, [&](db::Connection& connection) {
        out << "MOMENTO\tOPERADOR\tAÇÃO\tFILIAL\tLINHAS\n";
        for (const AuditStore::Entry& e : AuditStore(connection).between(firstDay, lastDay))
            out << whenText(e.moment) << "\t" << e.operatorName << "\t" << e.action << "\t" << e.branch << "\t"
                << e.rows << "\n";
        out << std::flush;
    });
}

}  // namespace krv::server
