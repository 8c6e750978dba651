// krv-server: the application server of the requisition module.
#include <pthread.h>
#include <signal.h>

#include <iostream>
#include <mutex>

#include "rpc/Endpoint.h"
#include "rpc/Server.h"
#include "rpc/TokenFile.h"
#include "server/Application.h"
#include "server/CommandLine.h"
#include "server/access/OperatorCommand.h"
#include "server/access/OperatorLogin.h"

namespace {
constexpr int kUsageExit = 64;

void applyTransport(const krv::server::ServerCommand& command, krv::rpc::ServerOptions& options) {
    options.tlsCertFile = command.tlsCert;
    options.tlsKeyFile = command.tlsKey;
    if (command.idleSeconds) options.idleTimeout = std::chrono::seconds(command.idleSeconds);
    if (command.maxConnections) options.maxConnections = command.maxConnections;
    if (command.withoutTls)
        options.log("aviso: --sem-tls: senhas e dados trafegam sem criptografia em " + command.host +
                    "; use --tls-cert e --tls-key fora de uma rede de confiança");
}
}  // namespace

int main(int argc, char** argv) {
    using namespace krv::server;
    ServerCommand command;
    try {
        command = parseCommandLine({argv + 1, argv + argc});
    } catch (const UsageError& e) {
        std::cerr << "krv-server: " << e.what() << "\n" << usageText();
        return kUsageExit;
    }
    if (command.help || command.version) {
        std::cout << (command.help ? usageText() : versionText());
        return 0;
    }
    if (!command.createOperator.empty())
        return createOperator(command.database, command.createOperator, std::cin, std::cout, std::cerr);
    try {
        // Blocked before any thread starts, so every worker inherits the mask and the
        // signals wait for sigwait below instead of killing the process mid-write.
        sigset_t stopSignals;
        sigemptyset(&stopSignals);
        sigaddset(&stopSignals, SIGINT);
        sigaddset(&stopSignals, SIGTERM);
        pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

        krv::rpc::ServerOptions options;
        options.bindAddress = command.host;
        options.port = command.port;
        options.threads = command.threads;
        // Refused tokens and bad traffic leave a trace for the operator; workers log concurrently.
        options.log = [](const std::string& line) {
            static std::mutex serialised;
            std::lock_guard lock(serialised);
            std::cerr << "krv-server: " << line << std::endl;
        };
        if (!command.tokenFile.empty()) options.token = krv::rpc::readTokenFile(command.tokenFile);
        applyTransport(command, options);

        ApplicationOptions applicationOptions{command.database, command.seedDemo};
        if (command.demoBranches) applicationOptions.demoSize = DemoSize{int(*command.demoBranches)};
        Application application(applicationOptions);
        options.writerThreads = application.database().writersAtOnce();
        refuseDemoPasswordOffLoopback(application.database().connection(), command.host);
        OperatorLogin login(application.database(), HashCost::Interactive, {}, options.log);
        options.login = login.function();
        krv::rpc::Server server(application.dispatcher(), options);
        server.start();
        // The host reads this line back with parseEndpoint, so an IPv6 address keeps its brackets.
        std::cout << "krv-server escutando em " << krv::rpc::formatEndpoint(command.host, server.port()) << std::endl;

        int received = 0;
        sigwait(&stopSignals, &received);
        server.stop();
        return 0;
    } catch (const std::exception& e) {
        std::cerr << "krv-server: " << e.what() << "\n";
        return 1;
    }
}
