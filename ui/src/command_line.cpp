#include "zarn/ui/command_line.h"

#include <algorithm>
#include <filesystem>
#include <ostream>
#include <string_view>
#include <utility>

#include "zarn/settings_file.h"
#include "zarn/version.h"

namespace zarn::ui {

namespace {

constexpr const char* kProgram = "zarn1-ps-repair";

constexpr const char* kUsage =
    "Usage: zarn1-ps-repair [FILE...]\n"
    "Repairs Zarn1 PostScript print files (*.Pxx) dropped on its window: writes NAME_Exx.ps\n"
    "(print mode) or NAME_Exx.eps (EPS mode) and the log NAME_Exx_log.TXT beside the file.\n"
    "A FILE given here is handled as a drop of that file once the window shows; two or more\n"
    "as a drop of several files, which the window refuses. Any argument after \"--\", and one\n"
    "that names an existing file (but for the options below), is a FILE.\n"
    "\n"
    "  -h, --help     show this help and exit\n"
    "  -V, --version  show the version and exit\n";

// Qt's own options (Qt 6 on Linux), written with one dash or two: those that take the next
// argument as their value, those that stand alone, and those that take "=value".
// clang-format off
constexpr std::string_view kQtValueOptions[] = {
    "-platform", "-platformpluginpath", "-platformtheme", "-plugin", "-qwindowgeometry",
    "-geometry", "-qwindowtitle", "-title", "-qwindowicon", "-icon", "-session", "-style",
    "-stylesheet", "-display", "-name", "-visual", "-qmljsdebugger"};
constexpr std::string_view kQtFlags[] = {
    "-reverse", "-testability", "-widgetcount", "-nograb", "-dograb", "-qdevel", "-qdebug"};
constexpr std::string_view kQtPrefixes[] = {"-style=", "-stylesheet=", "-qmljsdebugger="};
// clang-format on

bool fileExists(const char* path) {
    std::error_code ec;
    return std::filesystem::exists(std::filesystem::path(path), ec);
}

template <class List>
bool listed(const List& list, std::string_view arg) {
    return std::find(std::begin(list), std::end(list), arg) != std::end(list);
}

}  // namespace

CommandLine readCommandLine(int argc, char* const argv[], const FileTest& exists) {
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
        } else if (options && arg.size() > 1 && arg[0] == '-' &&
                   !(exists ? exists(argv[i]) : fileExists(argv[i]))) {
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
    out << "Settings file: " << settingsFileToRead().value_or(noSettingsFileFound()) << "\n";
    return out.flush() ? 0 : 1;
}

QtArguments::QtArguments(int argc, char* argv[], FileTest exists)
    : all_(argv, argv + argc), given_(all_.size(), false), exists_(std::move(exists)) {
    if (!exists_) exists_ = fileExists;
    for (std::size_t i = 0; i < all_.size(); ++i) {
        if (i > 0 && std::string_view(all_[i]) == "--") break;
        given_[i] = i == 0 || !exists_(all_[i]);
    }
    for (std::size_t i = 0; i < all_.size(); ++i)
        if (given_[i]) this->argv.push_back(all_[i]);
    this->argc = static_cast<int>(this->argv.size());
    this->argv.push_back(nullptr);
}

void QtArguments::takeKnownQtOptions() {
    int kept = std::min(argc, 1);
    for (int i = 1; i < argc; ++i) {
        std::string_view arg = argv[i];
        if (arg.starts_with("--")) arg.remove_prefix(1);
        if (listed(kQtValueOptions, arg))
            ++i;
        else if (!listed(kQtFlags, arg) &&
                 std::none_of(std::begin(kQtPrefixes), std::end(kQtPrefixes),
                              [&](std::string_view p) { return arg.starts_with(p); }))
            argv[kept++] = argv[i];
    }
    argc = kept;
    argv.resize(argc);
    argv.push_back(nullptr);
}

CommandLine QtArguments::read() const {
    std::vector<char*> ours;
    const auto left = argv.begin() + argc;
    for (std::size_t i = 0; i < all_.size(); ++i)
        if (!given_[i] || std::find(argv.begin(), left, all_[i]) != left) ours.push_back(all_[i]);
    return readCommandLine(static_cast<int>(ours.size()), ours.data(), exists_);
}

std::optional<std::vector<std::string>> filesToDrop(const CommandLine& line, std::ostream& err) {
    if (line.unknownOption.empty()) return line.files;
    err << kProgram << ": unknown option '" << line.unknownOption << "'\n"
        << "Try '" << kProgram << " --help'.\n";
    return std::nullopt;
}

}  // namespace zarn::ui
