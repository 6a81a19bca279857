// The window program's command line: FILEs to drop on the window once it shows, --help and
// --version, and the arguments Qt is given to take its own options from.
#pragma once

#include <functional>
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

// Whether an argument names a file that exists; without one, the file system answers.
using FileTest = std::function<bool(const char*)>;

// "--" ends the options, so that a FILE may begin with "-"; so does naming an existing file.
CommandLine readCommandLine(int argc, char* const argv[], const FileTest& exists = {});

// Answers --help or --version on `out` before any window or display exists: the exit status,
// or nullopt to go on. Other options are left alone here, since Qt takes its own out later.
std::optional<int> answerWithoutWindow(int argc, char* const argv[], std::ostream& out);

// The arguments split between Qt and the program. Qt takes its options out of whatever it is
// given, after "--" too, and would take a FILE named "-style=A.P01" for a style: it is given
// only the arguments before "--" that name no existing file.
class QtArguments {
public:
    QtArguments(int argc, char* argv[], FileTest exists = {});

    // For QApplication, which takes its options out of them and keeps both while it lives.
    int argc = 0;
    std::vector<char*> argv;  // null-terminated

    // Takes out what Qt would take, as far as its options are known here: where Qt cannot
    // start, an option unknown to both can still be told apart.
    void takeKnownQtOptions();
    // The program's command line: every argument but those Qt took.
    CommandLine read() const;

private:
    std::vector<char*> all_;
    std::vector<bool> given_;  // to Qt, by index into all_
    FileTest exists_;
};

// The FILEs to drop; an unknown option is said on `err` and gives nullopt (exit status 2).
std::optional<std::vector<std::string>> filesToDrop(const CommandLine& line, std::ostream& err);

}  // namespace zarn::ui
