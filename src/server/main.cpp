// krv-server: the application server of the requisition module.
#include <pthread.h>
#include <signal.h>

#include <iostream>
#include <mutex>

#include "rpc/Endpoint.h"
#include "rpc/Server.h"
#include "rpc/TokenFile.h"
#include "server/access/OperatorLogin.h"
#include "server/service/Administration.h"
#include "server/service/Application.h"
#include "server/service/CommandLine.h"
#include "server/service/OperatorCommand.h"
#include "server/service/ServiceNotify.h"
#include "server/stores/Schema.h"

namespace {
constexpr int kUsageExit = 64;

void applyTransport(const krv::server::ServerCommand& command, krv::rpc::ServerOptions& options) {
    options.tlsCertFile = command.tlsCert;
    options.tlsKeyFile = command.tlsKey;
    krv::server::applyLimits(command, options);
    if (command.withoutTls)
        options.log("aviso: --sem-tls: senhas e dados trafegam sem criptografia em " + command.host +
                    "; use --tls-cert e --tls-key fora de uma rede de confiança");
}
}  // namespace

int main(int argc, char** argv) {
    using namespace krv::server;
    ServerCommand command;
    const std::vector<std::string> args(argv + 1, argv + argc);
    try {
        command = parseCommandLine(args);
    } catch (const UsageError& e) {
        std::cerr << "krv-server: " << e.what() << "\n" << usageText();
        return kUsageExit;
    } catch (const ConfigError& e) {
        std::cerr << e.what() << "\n";
        return 1;
    }
    if (command.help || command.version) {
        std::cout << (command.help ? usageText() : versionText());
        return 0;
    }
    if (!command.createOperator.empty())
        return createOperator(command.database, command.createOperator, std::cin, std::cout, std::cerr,
                              HashCost::Interactive, localNow, {command.role, command.branches});
    if (!command.alterOperator.empty())
        return alterOperator(command.database, command.alterOperator, {command.role, command.branches},
                             command.newPassword, std::cin, std::cout, std::cerr);
    if (!command.deactivateOperator.empty())
        return deactivateOperator(command.database, command.deactivateOperator, std::cout, std::cerr);
    if (command.listOperators) return listOperators(command.database, std::cout, std::cerr);
    if (command.audit)
        return printAudit(command.database, command.audit->first, command.audit->second, std::cout, std::cerr);
    if (const std::optional<int> done = runAdministration(command, std::cout, std::cerr)) return *done;
    try {
        // Blocked before any thread starts, so every worker inherits the mask and the
        // signals wait for sigwait below instead of killing the process mid-write.
        sigset_t stopSignals;
        sigemptyset(&stopSignals);
        sigaddset(&stopSignals, SIGINT);
        sigaddset(&stopSignals, SIGTERM);
        sigaddset(&stopSignals, SIGHUP);  // reload
        pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

        krv::rpc::ServerOptions options;
        options.bindAddress = command.host;
        options.port = command.port;
        options.threads = command.threads;
        // Refused tokens and bad traffic leave a trace for the operator; workers log concurrently.
        options.log = [](const std::string& line) {
            static std::mutex serialised;
            std::lock_guard lock(serialised);
            std::cerr << logLine(priorityOf(line), line) << std::endl;
        };
        if (!command.tokenFile.empty()) options.token = krv::rpc::readTokenFile(command.tokenFile);
        applyTransport(command, options);

        ApplicationOptions applicationOptions{command.database, command.seedDemo};
        applicationOptions.log = options.log;
        if (command.demoBranches) applicationOptions.demoSize = DemoSize{int(*command.demoBranches)};
        Application application(applicationOptions);
        options.writerThreads = application.database().writersAtOnce();
        options.identity = databaseIdentity(application.database().connection());
        refuseDemoPasswordOffLoopback(application.database().connection(), command.host);
        OperatorLogin login(application.database(), HashCost::Interactive, {}, options.log);
        options.login = login.function();
        krv::rpc::Server server(application.dispatcher(), options);
        server.start();
        serveUntilStopped(args, command, server, options, stopSignals);
        server.stop();
        return 0;
    } catch (const std::exception& e) {
        std::cerr << logLine(LogPriority::Error, e.what()) << "\n";
        return 1;
    }
}
