#include <iostream>

#include "call/CallArguments.h"
#include "call/CallReport.h"
#include "core/Errors.h"
#include "rpc/Client.h"
#include "rpc/TokenFile.h"

using namespace krv;

namespace {

int run(const std::vector<std::string>& words) {
    call::CallRequest request;
    try {
        request = call::parseCommandLine(words);
        if (!request.tokenFile.empty())
            request.endpoint.token = rpc::readTokenFile(request.tokenFile);
    } catch (const std::runtime_error& error) {
        std::cerr << error.what() << "\n" << call::kUsageText;
        return call::kExitUsage;
    }
    try {
        rpc::Client client;
        client.connect(request.endpoint);
        const Variant result = client.call(request.object, request.method, request.args);
        const call::CallReport report = call::reportOutcome(result, request.args, request.json);
        std::cout << report.out;
        std::cerr << report.err;
        return report.status;
    } catch (const EServerError& error) {
        std::cerr << error.what() << "\n";
        return call::kExitServerFailure;
    } catch (const ENetError& error) {
        std::cerr << error.what() << "\n";
        return call::kExitTransportFailure;
    }
}

}  // namespace

int main(int argc, char** argv) {
    return run(std::vector<std::string>(argv + 1, argv + argc));
}
