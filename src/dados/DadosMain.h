#pragma once
#include <iosfwd>
#include <string>
#include <vector>

namespace krv::dados {

// The whole of krv-dados: parses the words after the program name, exports or imports, and
// prints what it did or every problem. `terminal`: stderr is a terminal, where a progress bar
// may be drawn. Returns the exit status (see ExitStatus).
int runDados(const std::vector<std::string>& words, std::ostream& out, std::ostream& err, bool terminal);

}  // namespace krv::dados
