#pragma once
#include <string>
#include <vector>

#include "cli/UsageError.h"
#include "core/Variant.h"
#include "rpc/Client.h"
#include "rpc/ClientLogin.h"

namespace krv::call {

// The command line was wrong; the text says how (exit status 64).
using UsageError = cli::UsageError;

// The help that --help prints and a wrong command line is followed by.
std::string usageText();

// How the outcome is printed: aligned tables, JSON, or CSV for a spreadsheet.
enum class Output { Table, Json, Csv };

struct CallRequest {
    rpc::Endpoint endpoint;  // login and TLS still empty: filled from `login` by the caller
    rpc::ClientLogin login;
    Output output = Output::Table;
    std::string object;
    std::string method;
    std::vector<Variant> args;
    std::string shown;  // --help or --version: print this instead of calling
};

// words: the arguments after the program name.
CallRequest parseCommandLine(const std::vector<std::string>& words);

// One ARG: "date:YYYY-MM-DD", "num:10.5", "int:3", "null", "str:TEXT"; anything else is a string.
Variant parseArgument(const std::string& word);

}  // namespace krv::call
