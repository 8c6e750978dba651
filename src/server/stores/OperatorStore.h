#pragma once
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "core/DateTime.h"
#include "server/storage/Database.h"

namespace krv::server {

// The rule of the operator column: 1 to 30 letters and digits.
inline constexpr size_t kOperatorNameSize = 30;
// The password the demo company's ADMIN starts with, written in the README; a server
// does not listen off loopback while any operator still has it.
inline constexpr const char* kDemoPassword = "demo";
inline constexpr const char* kDemoOperator = "ADMIN";

// How slow a password hash is. Interactive is what a real password gets (about a tenth of a
// second and 64 MiB, so guessing offline is slow too); Minimal is for tests full of logins.
enum class HashCost { Interactive, Minimal };

// An Argon2id hash of the password in the standard encoded form (salt and costs inside).
// Throws std::runtime_error when the memory it needs cannot be had.
std::string hashPassword(const std::string& password, HashCost cost);
// Whether the password is the one the encoded hash was made from.
bool passwordMatches(const std::string& encodedHash, const std::string& password);

// The operators who may log in.
class OperatorStore {
public:
    explicit OperatorStore(db::Connection& connection) : c_(connection) {}

    struct StoredPassword {
        std::string hash;
        bool demo = false;   // the demo password, which logs in only from loopback
        bool active = true;  // a deactivated operator logs in no more
    };
    // nullopt for an operator that does not exist.
    std::optional<StoredPassword> password(const std::string& name);
    // Creates the operator or replaces its password, in one short write: the hash is made
    // beforehand, outside the transaction.
    void save(const std::string& name, const std::string& encodedHash, bool demoPassword, DateTime now);
    // The operators whose password is still the demo one, by name.
    std::vector<std::string> withDemoPassword();

    // What an operator may do and for which branches, as stored.
    struct Grant {
        std::string role;  // as stored: "cozinha", "compras", "operador logístico", "administrador"
        bool allBranches = true;
        std::set<std::string> branches;  // as chosen, when not all
        bool active = true;
        std::optional<DateTime> lastLogin;
    };
    std::optional<Grant> grant(const std::string& name);
    // The branches an operator answers for when not all: those chosen and the kitchens that
    // the chosen logistic operators supply.
    std::set<std::string> scope(const std::string& name);
    // Replaces role and branches (nullopt: all), in one transaction with nothing else.
    void saveGrant(const std::string& name, const std::string& role,
                   const std::optional<std::set<std::string>>& branches);
    void setActive(const std::string& name, bool active);
    void recordLogin(const std::string& name, DateTime now);
    // Every operator, by name.
    std::vector<std::pair<std::string, Grant>> all();
    // How many active administrators of every branch there are besides `name`.
    int64_t otherActiveAdministrators(const std::string& name);
    // Of these codes, those that are no branch.
    std::vector<std::string> unknownBranches(const std::set<std::string>& codes);

private:
    db::Connection& c_;
};

}  // namespace krv::server
