#pragma once
#include <iosfwd>
#include <string>
#include <vector>

namespace krv::call {

// The whole of krv-call: parses the words after the program name, makes the call and
// prints the outcome. Returns the exit status (see ExitStatus).
int runCall(const std::vector<std::string>& words, std::ostream& out, std::ostream& err);

}  // namespace krv::call
