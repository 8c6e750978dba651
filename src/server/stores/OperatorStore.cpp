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
    c_.each("SELECT dssenha, idsenhademo FROM operator WHERE cdoperador = ?", {name},
            [&](const db::ResultRow& row) { stored = StoredPassword{row.text(0), row.text(1) == "S"}; });
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

}  // namespace krv::server
