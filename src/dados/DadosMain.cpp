#include "dados/DadosMain.h"

#include <ostream>

#include "dados/DadosCommandLine.h"
#include "dados/ProgressBar.h"
#include "server/Backup.h"
#include "server/model/Clock.h"
#include "server/seed/DemoSeed.h"
#include "server/stores/Schema.h"
#include "server/transfer/Export.h"
#include "server/transfer/Import.h"

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
        server::backupBeforeMigration(command.database, [&](const std::string& line) { err << "krv-dados: " << line << "\n"; });
        server::migrate(connection);
        if (command.seedDemo) {
            const DateTime today = server::localNow().date();
            if (command.demoBranches)
                server::seedDemo(connection, today, server::DemoSize{int(*command.demoBranches)});
            else
                server::seedDemo(connection, today);
        }
        return command.action == Action::Export ? exportFiles(connection, command, out)
                                                : importFiles(connection, command, out, err, terminal);
    } catch (const std::exception& e) {
        err << "krv-dados: " << e.what() << "\n";
        return kProblems;
    }
}

}  // namespace krv::dados
