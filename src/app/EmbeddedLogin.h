#pragma once
#include <QString>
#include <QStringList>
#include <optional>

namespace krv::app {

// The host's own server asks nothing of the user: the host keeps a random password for its
// operator in its data folder and sets it on the server before logging in with it.
class EmbeddedLogin {
public:
    static constexpr const char* kPasswordFileName = "operador.senha";

    // The password kept in DATA_DIR/operador.senha, made on first use and readable by the
    // user alone. nullopt with a Portuguese `error` when the file cannot be made or read.
    static std::optional<QString> Password(const QString& dataDir, QString& error);

    // `krv-server --db DB --cria-operador NAME`, which reads the password from its stdin.
    static QStringList CreateOperatorArguments(const QString& database, const QString& operador);

    // Runs `program` with those arguments and the password on its stdin; the password is
    // never an argument, where every user could read it. False with the server's own
    // words in `error` when it fails.
    static bool CreateOperator(const QString& program, const QString& database, const QString& operador,
                               const QString& password, QString& error, int timeoutMs = 30000);
};

}  // namespace krv::app
