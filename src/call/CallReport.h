#pragma once
#include <string>
#include <vector>

#include "call/CallArguments.h"
#include "core/Variant.h"

namespace krv::call {

enum ExitStatus { kExitOk = 0, kExitServerFailure = 1, kExitTransportFailure = 2, kExitUsage = 64 };

struct CallReport {
    ExitStatus status = kExitOk;
    std::string out;  // for stdout
    std::string err;  // for stderr
};

// What to print for a call's result and its arguments after the call. A result
// [false, message] is the method's failure: only the message, on stderr. A result that is
// not [ok, payload] is shown whole. As CSV only a packet payload is printed, alone, so the
// output can go straight to a file; any other payload prints as a table would.
CallReport reportOutcome(const Variant& result, const std::vector<Variant>& args, Output output);

}  // namespace krv::call
