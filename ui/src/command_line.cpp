#include "zarn/ui/command_line.h"

#include <ostream>
#include <string_view>

#include "zarn/version.h"

namespace zarn::ui {

namespace {

constexpr const char* kProgram = "zarn1-ps-repair";

constexpr const char* kUsage =
    "Usage: zarn1-ps-repair [FILE...]\n"
    "Repairs Zarn1 PostScript print files (*.Pxx) dropped on its window: writes NAME_Exx.ps\n"
    "(print mode) or NAME_Exx.eps (EPS mode) and the log NAME_Exx_log.TXT beside the file.\n"
    "A FILE given here is handled as a drop of that file once the window shows; two or more\n"
    "as a drop of several files, which the window refuses.\n"
    "\n"
    "  -h, --help     show this help and exit\n"
    "  -V, --version  show the version and exit\n";

}  // namespace

CommandLine readCommandLine(int argc, char* const argv[]) {
    CommandLine line;
    bool options = true;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (options && arg == "--") {
            options = false;
        } else if (options && (arg == "-h" || arg == "--help")) {
            line.help = true;
        } else if (options && (arg == "-V" || arg == "--version")) {
            line.version = true;
        } else if (options && arg.size() > 1 && arg[0] == '-') {
            if (line.unknownOption.empty()) line.unknownOption = arg;
        } else {
            line.files.emplace_back(arg);
        }
    }
    return line;
}

std::optional<int> answerWithoutWindow(int argc, char* const argv[], std::ostream& out) {
    const CommandLine line = readCommandLine(argc, argv);
    if (line.help)
        out << kUsage;
    else if (line.version)
        out << kProgram << " " << kVersion << "\n";
    else
        return std::nullopt;
    return out.flush() ? 0 : 1;
}

std::optional<std::vector<std::string>> filesToDrop(int argc, char* const argv[],
                                                    std::ostream& err) {
    CommandLine line = readCommandLine(argc, argv);
    if (line.unknownOption.empty()) return std::move(line.files);
    err << kProgram << ": unknown option '" << line.unknownOption << "'\n"
        << "Try '" << kProgram << " --help'.\n";
    return std::nullopt;
}

}  // namespace zarn::ui
