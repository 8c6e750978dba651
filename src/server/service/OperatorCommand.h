#pragma once
#include <istream>
#include <optional>
#include <ostream>
#include <string>

#include "server/model/Clock.h"
#include "server/stores/OperatorStore.h"

namespace krv::server {

// A password of --cria-operador has at least this many characters and at most
// rpc::kMaxPasswordBytes bytes, the most a login frame carries.
inline constexpr size_t kMinPasswordChars = 8;

// Why the password may not be an operator's; empty when it may.
std::string passwordWeakness(const std::string& password);

// --papel and --filiais as typed: a role's name, and "T" or codes separated by commas.
// Checked by the commands, which refuse an unknown role or branch with exit status 1.
struct GrantWords {
    std::optional<std::string> role;
    std::optional<std::string> branches;
};

// krv-server --cria-operador: the password is the first line of `in` (never an argument,
// which other users of the machine could read); creates the operator, which needs a role and
// branches, or changes its password (and, when given, its role and branches) in one short
// write, so a server serving the same database meanwhile is not held up. Says what it did on
// `out`, or why not on `err`; returns the exit status.
int createOperator(const std::string& database, const std::string& name, std::istream& in, std::ostream& out,
                   std::ostream& err, HashCost cost = HashCost::Interactive, Clock clock = localNow,
                   const GrantWords& grant = {});
// --altera-operador: role, branches and, with `newPassword`, the password read from `in`.
int alterOperator(const std::string& database, const std::string& name, const GrantWords& grant, bool newPassword,
                  std::istream& in, std::ostream& out, std::ostream& err, HashCost cost = HashCost::Interactive,
                  Clock clock = localNow);
// --desativa-operador: it logs in no more, and a session it has open is refused at its next
// call; what it did stays recorded under its name.
int deactivateOperator(const std::string& database, const std::string& name, std::ostream& out, std::ostream& err);
// --lista-operadores: name, role, branches, active, last login; one operator a line.
int listOperators(const std::string& database, std::ostream& out, std::ostream& err);
// --auditoria --de --ate: who did what for which branch in those days, one moment a line.
int printAudit(const std::string& database, DateTime firstDay, DateTime lastDay, std::ostream& out, std::ostream& err);

}  // namespace krv::server
