#pragma once
#include <stdexcept>

namespace krv::cli {

// A command line that cannot be obeyed; the text says why, in Portuguese. The programs print
// it with their help and exit 64.
struct UsageError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

}  // namespace krv::cli
