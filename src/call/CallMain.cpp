#include "call/CallMain.h"

#include <cstdlib>
#include <ostream>

#include "call/CallArguments.h"
#include "call/CallReport.h"
#include "core/Errors.h"
#include "rpc/Client.h"
#include "rpc/ClientLogin.h"

namespace krv::call {

int runCall(const std::vector<std::string>& words, std::ostream& out, std::ostream& err) {
    CallRequest request;
    try {
        request = parseCommandLine(words);
    } catch (const std::runtime_error& error) {
        err << error.what() << "\n" << usageText();
        return kExitUsage;
    }
    try {
        // The command line was right; a file it names is missing or refused: the usage says nothing of that.
        if (request.shown.empty())
            rpc::applyClientLogin(request.login, std::getenv(rpc::kPasswordVariable), request.endpoint);
    } catch (const std::runtime_error& error) {
        err << error.what() << "\n";
        return kExitUsage;
    }
    if (!request.shown.empty()) {
        out << request.shown;
        return kExitOk;
    }
    try {
        rpc::Client client;
        client.connect(request.endpoint);
        const Variant result = client.call(request.object, request.method, request.args);
        const CallReport report = reportOutcome(result, request.args, request.output);
        out << report.out;
        err << report.err;
        return report.status;
    } catch (const EServerError& error) {
        err << error.what() << "\n";
        return kExitServerFailure;
    } catch (const rpc::ELoginRefused& error) {
        // The server was reached and said no: that is its refusal, not a network failure.
        err << error.what() << "\n";
        return kExitServerFailure;
    } catch (const ENetError& error) {
        err << error.what() << "\n";
        return kExitTransportFailure;
    }
}

}  // namespace krv::call
