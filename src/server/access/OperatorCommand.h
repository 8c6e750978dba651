#pragma once
#include <istream>
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

// krv-server --cria-operador: the password is the first line of `in` (never an argument,
// which other users of the machine could read); creates the operator or changes its
// password in one short write, so a server serving the same database meanwhile is not held
// up. Says what it did on `out`, or why not on `err`; returns the exit status.
int createOperator(const std::string& database, const std::string& name, std::istream& in, std::ostream& out,
                   std::ostream& err, HashCost cost = HashCost::Interactive, Clock clock = localNow);

}  // namespace krv::server
