#include "app/ClientConfig.h"

#include <toml++/toml.h>
#include <QFile>

#include "core/RegularFile.h"

namespace krv::app {

namespace {

constexpr size_t kMaxClientConfigBytes = 1 << 20;

}  // namespace

std::optional<ClientConfig> ReadClientConfig(const QString& path, QString& error) {
    const FileRead read = readRegularFile(QFile::encodeName(path).toStdString(), kMaxClientConfigBytes);
    if (read.problem == FileProblem::Missing) return ClientConfig{};
    if (read.problem != FileProblem::None) {
        error = path + ": " + QString::fromStdString(describeFileProblem(read, kMaxClientConfigBytes));
        return std::nullopt;
    }
    toml::table table;
    try {
        table = toml::parse(read.text, QFile::encodeName(path).toStdString());
    } catch (const toml::parse_error& e) {
        error = QString("%1:%2: sintaxe TOML inválida (%3)")
                    .arg(path)
                    .arg(e.source().begin.line)
                    .arg(QString::fromUtf8(std::string(e.description())));
        return std::nullopt;
    }
    ClientConfig config;
    for (const auto& [key, node] : table) {
        const QString name = QString::fromStdString(std::string(key.str()));
        const QString where = QString("%1:%2: ").arg(path).arg(key.source().begin.line);
        QString* value = name == "server"     ? &config.server
                         : name == "ca"       ? &config.ca
                         : name == "operador" ? &config.operador
                                              : nullptr;
        if (!value) {
            error = where + QString("chave desconhecida \"%1\" (use server, ca e operador)").arg(name);
            return std::nullopt;
        }
        if (!node.is_string()) {
            error = where + name + " deve ser um texto entre aspas";
            return std::nullopt;
        }
        *value = QString::fromStdString(node.as_string()->get()).trimmed();
    }
    return config;
}

QString NoServerConfigured(const QString& path) {
    return QString(
               "Nenhum servidor de aplicação configurado. Informe-o em %1 (por exemplo "
               "server = \"servidor:7420\", e ca = \"/etc/krv/ca.pem\" para TLS) ou abra o krv-host com "
               "--server HOST:PORTA.\n\nAbrir agora a empresa de demonstração, num servidor local só deste "
               "usuário (o mesmo que krv-host --demo)?")
        .arg(path);
}

}  // namespace krv::app
