#include "zarn/ui/command_line.h"

#include <cstdlib>
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

std::optional<int> refuseWithoutDisplay(
    int argc, char* const argv[], std::ostream& err,
    const std::function<const char*(const char*)>& environment) {
    for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"}) {
        const char* value = environment ? environment(name) : std::getenv(name);
        if (value != nullptr && *value != '\0') return std::nullopt;
    }
    // Qt takes its options with one dash or two, wherever they stand.
    for (int i = 1; i < argc; ++i) {
        std::string_view arg = argv[i];
        if (arg.substr(0, 2) == "--") arg.remove_prefix(1);
        if (arg == "-platform" || arg == "-display") return std::nullopt;
    }
    err << kProgram << ": no display to open the window on (DISPLAY and WAYLAND_DISPLAY are "
        << "not set)\n"
        << "The batch converter zarn1-ps-convert converts without one.\n";
    err.flush();
    return 1;
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
