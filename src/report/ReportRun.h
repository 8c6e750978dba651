#pragma once
#include "report/ReportCommand.h"

namespace krv::report {

// Asks the server for the report's rows under the command's filter and writes the file.
// Throws on any failure; no file is written then.
void RunReport(const ReportCommand& command);

}  // namespace krv::report
