#include "dados/DadosMain.h"

#include <ostream>

#include "dados/DadosCommandLine.h"
#include "dados/ProgressBar.h"
#include "server/model/Clock.h"
#include "server/seed/DemoSeed.h"
#include "server/stores/Schema.h"
#include "server/transfer/Export.h"
#include "server/transfer/Import.h"
#include "server/transfer/OrderExport.h"
#include "server/domain/OrderShipment.h"
#include "server/stores/CalculationStore.h"

namespace krv::dados {

namespace {

namespace transfer = server::transfer;

std::string counted(size_t n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

int exportFiles(server::db::Connection& connection, const DadosCommand& command, std::ostream& out) {
    for (const transfer::ExportedFile& file : transfer::exportFolder(connection, command.folder))
        out << file.file << ": " << counted(file.records, "registro", "registros") << "\n";
    return kWritten;
}

int importFiles(server::db::Connection& connection, const DadosCommand& command, std::ostream& out, std::ostream& err,
                bool terminal) {
    ProgressBar bar(err);
    transfer::ImportOptions options{command.simulate, command.removeMissing};
    if (terminal)
        options.progress = [&](const std::string& file, size_t done, size_t total) { bar.show(file, done, total); };
    const transfer::ImportResult result = transfer::importFolder(connection, command.folder, options);
    if (!result.problems.empty()) {
        for (const std::string& problem : result.problems) err << problem << "\n";
        err << "Nada foi gravado.\n";
        return kProblems;
    }
    for (const transfer::FileCounts& file : result.files) {
        out << file.file << ": " << counted(file.added, "novo", "novos") << ", "
            << counted(file.changed, "alterado", "alterados") << ", " << file.unchanged << " sem alteração";
        if (command.removeMissing) out << ", " << counted(file.removed, "removido", "removidos");
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
    // What is written and what is marked are one transaction: a file that names an order as
    // not sent is never left beside a database where it is.
    size_t marked = 0;
    const transfer::ExportedOrders written = connection.write([&](server::db::Connection& c) {
        transfer::ExportedOrders orders = transfer::exportOrders(c, command.folder, filter);
        marked = 0;
        if (command.markSent && !orders.notSentYet.empty())
            marked = size_t(server::markOrdersSent(
                c, {orders.notSentYet, kMarker, std::nullopt, server::localNow()}));
        return orders;
    });
    out << "pedidos.csv: " << counted(written.orders, "pedido", "pedidos") << "\n"
        << "itens_pedido.csv: " << counted(written.lines, "item", "itens") << "\n";
    if (command.markSent)
        out << counted(marked, "pedido marcado como enviado", "pedidos marcados como enviados") << ".\n";
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
        const auto database = server::db::openDatabase(command.database);
        server::db::Connection& connection = database->connection();
        server::migrate(connection);
        if (command.seedDemo) {
            const DateTime today = server::localNow().date();
            if (command.demoBranches)
                server::seedDemo(connection, today, server::DemoSize{int(*command.demoBranches)});
            else
                server::seedDemo(connection, today);
        }
        switch (command.action) {
            case Action::Export: return exportFiles(connection, command, out);
            case Action::Orders: return exportOrders(connection, command, out, err);
            default: return importFiles(connection, command, out, err, terminal);
        }
    } catch (const std::exception& e) {
        err << "krv-dados: " << e.what() << "\n";
        return kProblems;
    }
}

}  // namespace krv::dados
