#include "dados/DadosMain.h"

#include <filesystem>
#include <ostream>

#include "core/NumberText.h"
#include "dados/DadosCommandLine.h"
#include "dados/ProgressBar.h"
#include "server/domain/OrderShipment.h"
#include "server/model/Clock.h"
#include "server/seed/DemoSeed.h"
#include "server/service/Backup.h"
#include "server/stores/CalculationStore.h"
#include "server/stores/Schema.h"
#include "server/transfer/Export.h"
#include "server/transfer/Import.h"
#include "server/transfer/OrderExport.h"
#include "server/transfer/Templates.h"

namespace krv::dados {

namespace {

namespace transfer = server::transfer;

std::string counted(size_t n, const char* one, const char* many) { return countedText(int64_t(n), one, many); }

// "filiais.csv: 2 novos, 0 alterados, 5 sem alteração", and what else happened to the file.
std::string fileLine(const transfer::FileCounts& file, bool removeMissing) {
    std::string line = file.file + ": " + counted(file.added, "novo", "novos") + ", " +
                       counted(file.changed, "alterado", "alterados") + ", " + countText(int64_t(file.unchanged)) +
                       " sem alteração";
    if (removeMissing)
        line += file.empty ? ", nenhuma linha: nada removido" : ", " + counted(file.removed, "removido", "removidos");
    if (file.replaced) line += ", " + counted(file.replaced, "substituído", "substituídos");
    if (file.padded)
        line += "; " + counted(file.padded, "código completado", "códigos completados") +
                " com zeros à esquerda, como a tela faz";
    if (file.trimmed) line += "; espaços em volta tirados de " + counted(file.trimmed, "código", "códigos");
    if (!file.kept.empty()) line += "; " + file.kept;
    return line;
}

int exportFiles(server::db::Connection& connection, const DadosCommand& command, std::ostream& out) {
    for (const transfer::ExportedFile& file : transfer::exportFolder(connection, command.folder))
        out << file.file << ": " << counted(file.records, "registro", "registros") << "\n";
    return kWritten;
}

int writeTemplates(const DadosCommand& command, std::ostream& out) {
    for (const std::string& file : transfer::writeTemplates(command.folder)) out << file << "\n";
    out << "Modelos gravados em " << command.folder << ": comece pelo LEIAME.txt.\n";
    return kWritten;
}

int importFiles(server::db::Connection& connection, const DadosCommand& command, std::ostream& out, std::ostream& err,
                bool terminal) {
    ProgressBar bar(err);
    transfer::ImportOptions options{command.simulate, command.removeMissing, command.ignoreOthers, command.simulate};
    if (terminal)
        options.progress = [&](const std::string& file, size_t done, size_t total) { bar.show(file, done, total); };
    const transfer::ImportResult result = transfer::importFolder(connection, command.folder, options);
    if (!result.problems.empty()) {
        for (const std::string& problem : result.problems) err << problem << "\n";
        err << "Nada foi gravado.\n";
        return kProblems;
    }
    for (const transfer::FileCounts& file : result.files) out << fileLine(file, command.removeMissing) << "\n";
    if (!result.ignored.empty()) {
        out << "Deixados de lado:";
        for (const std::string& name : result.ignored) out << " " << name;
        out << "\n";
    }
    out << (result.committed ? "Importação gravada.\n" : "Simulação: nada foi gravado.\n");
    return kWritten;
}

// Who marks orders sent from here: the program, not an operator of the server.
constexpr const char* kMarker = "krv-dados";

int exportOrders(server::db::Connection& connection, const DadosCommand& command, std::ostream& out,
                 std::ostream& err) {
    transfer::OrderExportFilter filter;
    filter.period = {*DateTime::parseBr(command.from), *DateTime::parseBr(command.to)};
    if (!command.logisticOperator.empty()) {
        const auto supply = server::CalculationStore(connection).supplyOf(command.logisticOperator);
        if (!supply || !supply->logisticOperator) {
            err << "krv-dados: a filial " << command.logisticOperator << " não é um operador logístico cadastrado.\n";
            return kProblems;
        }
        filter.logisticOperator = command.logisticOperator;
    }
    // What is written and what is marked are one transaction, the marking first: the file
    // shows the orders as the run leaves them, and is never left beside a database that
    // says otherwise.
    const transfer::ExportedOrders written = connection.write([&](server::db::Connection& c) {
        transfer::OrderMarking mark;
        if (command.markSent)
            mark = [&](const std::vector<int64_t>& active) {
                return size_t(server::markOrdersSent(c, {active, kMarker, server::OrderViewer{}, server::localNow()}));
            };
        return transfer::exportOrders(c, command.folder, filter, mark);
    });
    out << "pedidos.csv: " << counted(written.orders, "pedido", "pedidos") << "\n"
        << "itens_pedido.csv: " << counted(written.lines, "item", "itens") << "\n";
    if (command.markSent)
        out << counted(written.marked, "pedido marcado como enviado", "pedidos marcados como enviados") << ".\n";
    return kWritten;
}

}  // namespace

int runDados(const std::vector<std::string>& words, std::ostream& out, std::ostream& err, bool terminal) {
    DadosCommand command;
    try {
        command = parseCommandLine(words);
    } catch (const UsageError& e) {
        err << "krv-dados: " << e.what() << "\n" << usageText();
        return kUsage;
    }
    if (command.help || command.version) {
        out << (command.help ? usageText() : versionText());
        return kWritten;
    }
    try {
        if (command.action == Action::Templates) return writeTemplates(command, out);
        // A simulation creates nothing: not a mistyped file, nor the schema of an empty database.
        if (command.simulate && !server::db::isPostgresUrl(command.database) &&
            !std::filesystem::exists(command.database)) {
            err << "krv-dados: o banco " << command.database << " não existe; a simulação não o cria.\n";
            return kProblems;
        }
        const auto database = server::db::openDatabase(command.database);
        server::db::Connection& connection = database->connection();
        if (!command.simulate) {
            server::backupBeforeMigration(command.database,
                                          [&](const std::string& line) { err << "krv-dados: " << line << "\n"; });
            server::migrate(connection);
        }
        if (command.seedDemo) {
            const DateTime today = server::localNow().date();
            if (command.demoBranches)
                server::seedDemo(connection, today, server::DemoSize{int(*command.demoBranches)});
            else
                server::seedDemo(connection, today);
        }
        switch (command.action) {
            case Action::Export:
                return exportFiles(connection, command, out);
            case Action::Orders:
                return exportOrders(connection, command, out, err);
            default:
                return importFiles(connection, command, out, err, terminal);
        }
    } catch (const std::exception& e) {
        err << "krv-dados: " << e.what() << "\n";
        return kProblems;
    }
}

}  // namespace krv::dados
