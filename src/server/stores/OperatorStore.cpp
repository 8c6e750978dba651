#include "server/stores/OperatorStore.h"

#include <sodium.h>

#include <stdexcept>

namespace krv::server {

namespace {

void initialiseSodium() {
    static const int ready = sodium_init();
    if (ready < 0) throw std::runtime_error("Não foi possível iniciar a biblioteca de senhas (libsodium).");
}

}  // namespace

std::string hashPassword(const std::string& password, HashCost cost) {
    initialiseSodium();
    const bool slow = cost == HashCost::Interactive;
    char encoded[crypto_pwhash_STRBYTES];
    if (crypto_pwhash_str(encoded, password.data(), password.size(),
                          slow ? crypto_pwhash_OPSLIMIT_INTERACTIVE : crypto_pwhash_OPSLIMIT_MIN,
                          slow ? crypto_pwhash_MEMLIMIT_INTERACTIVE : crypto_pwhash_MEMLIMIT_MIN) != 0)
        throw std::runtime_error("Memória insuficiente para calcular o hash da senha.");
    return encoded;
}

bool passwordMatches(const std::string& encodedHash, const std::string& password) {
    initialiseSodium();
    return crypto_pwhash_str_verify(encodedHash.c_str(), password.data(), password.size()) == 0;
}

std::optional<OperatorStore::StoredPassword> OperatorStore::password(const std::string& name) {
    std::optional<StoredPassword> stored;
    c_.each("SELECT dssenha, idsenhademo, idativo FROM operator WHERE cdoperador = ?", {name},
            [&](const db::ResultRow& row) {
                stored = StoredPassword{row.text(0), row.text(1) == "S", row.text(2) == "S"};
            });
    return stored;
}

void OperatorStore::save(const std::string& name, const std::string& encodedHash, bool demoPassword, DateTime now) {
    c_.write([&](db::Connection& c) {
        const db::Params values{encodedHash, demoPassword ? "S" : "N", db::Timestamp{now}, name};
        if (c.execute("UPDATE operator SET dssenha = ?, idsenhademo = ?, dtalteracao = ? WHERE cdoperador = ?",
                      values) == 0)
            c.execute("INSERT INTO operator (dssenha, idsenhademo, dtalteracao, cdoperador) VALUES (?, ?, ?, ?)",
                      values);
    });
}

std::vector<std::string> OperatorStore::withDemoPassword() {
    std::vector<std::string> names;
    c_.each("SELECT cdoperador FROM operator WHERE idsenhademo = 'S' ORDER BY cdoperador", {},
            [&](const db::ResultRow& row) { names.push_back(row.text(0)); });
    return names;
}

std::optional<OperatorStore::Grant> OperatorStore::grant(const std::string& name) {
    std::optional<Grant> grant;
    c_.each("SELECT dspapel, idtodasfiliais, idativo, dtultimologin FROM operator WHERE cdoperador = ?", {name},
            [&](const db::ResultRow& row) {
                grant = Grant{row.text(0), row.text(1) == "S", {}, row.text(2) == "S", std::nullopt};
                if (!row.isNull(3)) grant->lastLogin = row.dateTime(3);
            });
    if (grant && !grant->allBranches)
        c_.each("SELECT cdfilial FROM operator_branch WHERE cdoperador = ?", {name},
                [&](const db::ResultRow& row) { grant->branches.insert(row.text(0)); });
    return grant;
}

std::set<std::string> OperatorStore::scope(const std::string& name) {
    std::set<std::string> branches;
    c_.each(
        "SELECT cdfilial FROM operator_branch WHERE cdoperador = ? "
        "UNION SELECT b.cdfilial FROM branch b JOIN operator_branch o ON o.cdfilial = b.cdfiliopelog "
        "WHERE o.cdoperador = ?",
        {name, name}, [&](const db::ResultRow& row) { branches.insert(row.text(0)); });
    return branches;
}

void OperatorStore::saveGrant(const std::string& name, const std::string& role,
                              const std::optional<std::set<std::string>>& branches) {
    c_.write([&](db::Connection& c) {
        c.execute("UPDATE operator SET dspapel = ?, idtodasfiliais = ? WHERE cdoperador = ?",
                  {role, branches ? "N" : "S", name});
        c.execute("DELETE FROM operator_branch WHERE cdoperador = ?", {name});
        if (branches)
            for (const std::string& branch : *branches)
                c.execute("INSERT INTO operator_branch (cdoperador, cdfilial) VALUES (?, ?)", {name, branch});
    });
}

void OperatorStore::setActive(const std::string& name, bool active) {
    c_.write([&](db::Connection& c) {
        c.execute("UPDATE operator SET idativo = ? WHERE cdoperador = ?", {active ? "S" : "N", name});
    });
}

void OperatorStore::recordLogin(const std::string& name, DateTime now) {
    // Nothing decides anything from it, so it serializes against nothing.
    c_.write(
        [&](db::Connection& c) {
            c.execute("UPDATE operator SET dtultimologin = ? WHERE cdoperador = ?", {db::Timestamp{now}, name});
        },
        db::WriteKind::Independent);
}

std::vector<std::pair<std::string, OperatorStore::Grant>> OperatorStore::all() {
    std::vector<std::string> names;
    c_.each("SELECT cdoperador FROM operator ORDER BY cdoperador", {},
            [&](const db::ResultRow& row) { names.push_back(row.text(0)); });
    std::vector<std::pair<std::string, Grant>> operators;
    for (const std::string& name : names) operators.emplace_back(name, *grant(name));
    return operators;
}

int64_t OperatorStore::otherActiveAdministrators(const std::string& name) {
    return c_
        .integer(
            "SELECT count(*) FROM operator WHERE dspapel = 'administrador' AND idtodasfiliais = 'S' "
            "AND idativo = 'S' AND cdoperador <> ?",
            {name})
        .value_or(0);
}

std::vector<std::string> OperatorStore::unknownBranches(const std::set<std::string>& codes) {
    std::vector<std::string> unknown;
    for (const std::string& code : codes)
        if (!c_.integer("SELECT 1 FROM branch WHERE cdfilial = ?", {code})) unknown.push_back(code);
    return unknown;
}

}  // namespace krv::server
