// The window program's command line: FILEs to drop on the window once it shows, --help and
// --version.
#pragma once

#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

namespace zarn::ui {

struct CommandLine {
    bool help = false;
    bool version = false;
    std::string unknownOption;       // the first one, if any
    std::vector<std::string> files;  // the exact bytes given, in order
};

// "--" ends the options, so that a FILE may begin with "-".
CommandLine readCommandLine(int argc, char* const argv[]);

// Answers --help or --version on `out` before any window or display exists: the exit status,
// or nullopt to go on. Other options are left alone here, since Qt takes its own out later.
std::optional<int> answerWithoutWindow(int argc, char* const argv[], std::ostream& out);

// The FILEs to drop, read once Qt has taken its own options out of argv; an unknown option is
// said on `err` and gives nullopt (exit status 2).
std::optional<std::vector<std::string>> filesToDrop(int argc, char* const argv[],
                                                    std::ostream& err);

}  // namespace zarn::ui
