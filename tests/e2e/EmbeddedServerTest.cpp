// The host's own krv-server: started on a free port, announced on its first line, stopped
// with the host; every way it can fail to start gives a clear reason.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include "app/EmbeddedServer.h"
#include "app/HostOptions.h"
#include "core/Errors.h"
#include "rpc/Client.h"

using namespace krv;
using app::EmbeddedServer;

namespace {

EmbeddedServer::Config ConfigFor(const QString& program, const QTemporaryDir& dir) {
    EmbeddedServer::Config config;
    config.program = program;
    config.dataDir = dir.filePath("var");
    config.startTimeoutMs = 10000;
    return config;
}

TEST(EmbeddedServer, StartsTheRealServerOnAFreePortAndStopsIt) {
    QTemporaryDir dir;
    EmbeddedServer server;
    QString error;
    ASSERT_TRUE(server.start(ConfigFor(QDir(KRV_BIN_DIR).filePath("krv-server"), dir), error)) << error.toStdString();
    EXPECT_EQ(server.host(), "127.0.0.1");
    EXPECT_GT(server.port(), 0);
    EXPECT_TRUE(QFile::exists(dir.filePath("var/krv.db"))) << "the data folder is created for the database";

    rpc::Client client;
    client.connect({"127.0.0.1", uint16_t(server.port()), "", "ADMIN", "demo"});  // the demo operator
    std::vector<Variant> args{std::string("T")};
    const Variant result = client.call("KRV52000.rdmPedReq", "GetFilial", args);
    ASSERT_EQ(result.type(), Variant::Type::Array);
    EXPECT_TRUE(result.array().at(0).asBool());

    server.stop();
    EXPECT_FALSE(server.running());
    rpc::Client late;
    EXPECT_THROW(late.connect({"127.0.0.1", uint16_t(server.port())}), ENetError);
}

TEST(EmbeddedServer, ExplainsEveryFailureToStart) {
    QTemporaryDir dir;
    QString error;
    {
        EmbeddedServer server;
        EXPECT_FALSE(server.start(ConfigFor(dir.filePath("krv-server"), dir), error));
        EXPECT_TRUE(error.startsWith("Servidor de aplicação não encontrado")) << error.toStdString();
    }
    {
        EmbeddedServer server;  // a program that ends before announcing anything
        EXPECT_FALSE(server.start(ConfigFor("/bin/false", dir), error));
        EXPECT_TRUE(error.startsWith("O servidor de aplicação terminou ao iniciar (código 1)")) << error.toStdString();
    }
    {
        EmbeddedServer server;  // a program whose first line is something else
        EXPECT_FALSE(server.start(ConfigFor("/bin/echo", dir), error));
        EXPECT_TRUE(error.startsWith("Resposta inesperada do servidor de aplicação")) << error.toStdString();
        EXPECT_FALSE(server.running());
    }
}

TEST(EmbeddedServer, AnnouncementAndArguments) {
    QString host;
    int port = 0;
    EXPECT_TRUE(EmbeddedServer::ParseAnnouncement("krv-server escutando em 127.0.0.1:7420\n", host, port));
    EXPECT_EQ(host, "127.0.0.1");
    EXPECT_EQ(port, 7420);
    EXPECT_FALSE(EmbeddedServer::ParseAnnouncement("krv-server escutando em 127.0.0.1:0", host, port));
    EXPECT_FALSE(EmbeddedServer::ParseAnnouncement("krv-server escutando em 127.0.0.1", host, port));
    EXPECT_FALSE(EmbeddedServer::ParseAnnouncement("erro: porta em uso", host, port));

    EmbeddedServer::Config config;
    config.dataDir = "var";
    EXPECT_EQ(EmbeddedServer::Arguments(config),
              (QStringList{"--db", "var/krv.db", "--listen", "127.0.0.1:0", "--seed", "demo"}));
    config.tokenFile = "/etc/krv/token";
    EXPECT_EQ(EmbeddedServer::Arguments(config).mid(6), (QStringList{"--token-file", "/etc/krv/token"}));
}

TEST(HostOptions, CommandLine) {
    QString error;
    auto defaults = app::ParseHostOptions({"krv-host", "--demo"}, error);
    ASSERT_TRUE(defaults);
    EXPECT_EQ(defaults->filial, "0001");
    EXPECT_EQ(defaults->operador, "ADMIN");
    EXPECT_TRUE(defaults->embedded());
    EXPECT_FALSE(defaults->unconfigured);
    EXPECT_EQ(defaults->dataDir, "var");

    auto given = app::ParseHostOptions({"krv-host", "--filial", "0002", "--operador", "MARIA", "--server",
                                        "10.0.0.5:7420", "--open", "KRV52000", "--data-dir", "/tmp/x"},
                                       error);
    ASSERT_TRUE(given);
    EXPECT_EQ(given->filial, "0002");
    EXPECT_EQ(given->operador, "MARIA");
    EXPECT_FALSE(given->embedded());
    EXPECT_EQ(given->serverHost, "10.0.0.5");
    EXPECT_EQ(given->serverPort, 7420);
    EXPECT_TRUE(given->moreServers.isEmpty());
    EXPECT_EQ(given->open, QStringList{"KRV52000"});
    auto two = app::ParseHostOptions({"krv-host", "--server", "10.0.0.5:7420,[::1]:7421"}, error);
    ASSERT_TRUE(two);
    EXPECT_EQ(two->serverHost, "10.0.0.5");
    EXPECT_EQ(two->moreServers, QStringList{"[::1]:7421"});

    for (const char* bad : {"7420", "host:", "host:0", "host:70000", ":7420", "host:12x", "host:1,"}) {
        EXPECT_FALSE(app::ParseHostOptions({"krv-host", "--server", bad}, error)) << bad;
        EXPECT_TRUE(error.startsWith("--server: Endereço inválido")) << error.toStdString();
    }
    QTemporaryDir dir;
    QFile tokenFile(dir.filePath("token"));
    ASSERT_TRUE(tokenFile.open(QIODevice::WriteOnly));
    tokenFile.write("  segredo \nsegunda linha\n");
    tokenFile.close();
    auto withToken = app::ParseHostOptions({"krv-host", "--demo", "--token-file", tokenFile.fileName()}, error);
    ASSERT_TRUE(withToken);
    EXPECT_EQ(withToken->token, "segredo");

    EXPECT_FALSE(app::ParseHostOptions({"krv-host", "--token-file", "/nao/existe"}, error));
    EXPECT_TRUE(error.startsWith("Não foi possível ler o arquivo de token")) << error.toStdString();
    // An empty token would turn authentication off without a word.
    QFile emptyFile(dir.filePath("vazio"));
    ASSERT_TRUE(emptyFile.open(QIODevice::WriteOnly));
    emptyFile.write(" \n");
    emptyFile.close();
    EXPECT_FALSE(app::ParseHostOptions({"krv-host", "--token-file", emptyFile.fileName()}, error));
    EXPECT_TRUE(error.contains("está vazio")) << error.toStdString();
    for (const char* bad : {" ", "00012", "00'1", "0_1"}) {
        EXPECT_FALSE(app::ParseHostOptions({"krv-host", "--filial", bad}, error)) << bad;
        EXPECT_TRUE(error.startsWith("Filial inválida")) << error.toStdString();
    }
    EXPECT_FALSE(app::ParseHostOptions({"krv-host", "--operador", ""}, error));
    EXPECT_FALSE(app::ParseHostOptions({"krv-host", "--desconhecida"}, error));
}

}  // namespace

namespace {

// Without --server the client's configuration names the server; without one configured the
// host is left to say so (and offer the demo); --demo alone starts the embedded server.
TEST(HostOptions, ServerFromTheClientConfiguration) {
    QTemporaryDir dir;
    const auto written = [&](const QString& name, const QByteArray& text) {
        QFile file(dir.filePath(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
        return file.fileName();
    };
    QFile ca(written("ca.pem", ""));
    const QString full =
        written("cliente.conf", "# o servidor da empresa\nserver = \"tls:servidor:7420,tls:reserva:7420\"\nca = \"" +
                                    ca.fileName().toUtf8() + "\"\noperador = \"MARIA\"\n");
    const QString commented = written("vazio.conf", "# server = \"servidor:7420\"\n");
    QString error;
    auto configured = app::ParseHostOptions({"krv-host", "--config", full}, error);
    ASSERT_TRUE(configured) << error.toStdString();
    EXPECT_EQ(configured->serverHost, "servidor");
    EXPECT_EQ(configured->moreServers, QStringList{"reserva:7420"});
    EXPECT_TRUE(configured->tls);
    EXPECT_EQ(configured->caFile, ca.fileName());
    EXPECT_EQ(configured->operador, "MARIA");
    EXPECT_TRUE(configured->asksLogin());
    auto overridden = app::ParseHostOptions({"krv-host", "--config", full, "--operador", "ANA"}, error);
    ASSERT_TRUE(overridden);
    EXPECT_EQ(overridden->operador, "ANA") << "the command line wins";
    auto given = app::ParseHostOptions({"krv-host", "--config", full, "--server", "outro:7420"}, error);
    ASSERT_TRUE(given);
    EXPECT_EQ(given->serverHost, "outro");
    EXPECT_EQ(given->caFile, "") << "nothing of the file when --server is given";

    for (const QString& none : {dir.filePath("falta.conf"), commented}) {
        auto unconfigured = app::ParseHostOptions({"krv-host", "--config", none}, error);
        ASSERT_TRUE(unconfigured) << error.toStdString();
        EXPECT_TRUE(unconfigured->unconfigured) << none.toStdString();
        EXPECT_EQ(unconfigured->configFile, none);
    }
    const struct {
        QString file, refusal;
    } refused[] = {
        {written("porta.conf", "server = \"s:7420\"\nporta = 7420\n"), ":2: chave desconhecida \"porta\""},
        {written("numero.conf", "server = 7420\n"), ":1: server deve ser um texto entre aspas"},
        {written("sem-porta.conf", "server = \"servidor\"\n"), ": server: Endereço inválido 'servidor'"},
        {dir.path(), ": é uma pasta, não um arquivo"},
    };
    for (const auto& r : refused) {
        EXPECT_FALSE(app::ParseHostOptions({"krv-host", "--config", r.file}, error)) << r.file.toStdString();
        EXPECT_TRUE(error.startsWith(r.file + r.refusal)) << error.toStdString();
    }
}

// krv-host refuses a bad command line before it opens any window.
TEST(HostOptions, HostProcessExitsOnABadCommandLine) {
    QProcess host;
    host.start(QDir(KRV_BIN_DIR).filePath("krv-host"), {"--server", "semporta"});
    ASSERT_TRUE(host.waitForFinished(20000));
    EXPECT_EQ(host.exitCode(), 64);
    EXPECT_TRUE(QString::fromUtf8(host.readAllStandardError())
                    .contains("--server: Endereço inválido 'semporta': falta a porta"));

    host.start(QDir(KRV_BIN_DIR).filePath("krv-host"), {"--help"});
    ASSERT_TRUE(host.waitForFinished(20000));
    EXPECT_EQ(host.exitCode(), 0);
    EXPECT_TRUE(QString::fromUtf8(host.readAllStandardOutput()).contains("--data-dir"));
}

}  // namespace
