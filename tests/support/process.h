// Runs the converter, the generator and Ghostscript as child processes, never through a shell.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace zarn::testing {

struct RunResult {
    int status = -1;  // exit status; -1 when the child could not start or did not exit normally
    std::string out, err;
};

// Runs argv[0] (looked up in PATH when it holds no slash) with the given arguments and
// collects what it writes to stdout and stderr. A child killed by a signal says so in err.
RunResult run(const std::vector<std::string>& argv);

// The full path of an executable found in PATH, if any.
std::optional<std::string> findInPath(const std::string& name);

}  // namespace zarn::testing
