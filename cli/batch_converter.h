// The batch converter: the engine without a window, for scripts and many files.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace zarn {

// Runs the converter on its arguments (without the program name); returns the exit status:
// 0 when every file converted, 1 when any did not, 2 for a usage error.
int runBatchConverter(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace zarn
