// The batch converter's command line: its options, their rules and the help text.
#pragma once

#include <chrono>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace zarn {

// A command line that cannot be run: the message says why.
struct UsageError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

struct Options {
    std::optional<bool> eps;
    std::optional<std::string> force;
    bool rotate = false;
    std::optional<std::string> crop, endMargin, extraWidth, lang;
    std::optional<std::vector<bool>> gray;  // eight ticks, in the order 0.1 ... 0.8
    std::optional<std::string> settingsFile;
    bool noSettings = false;
    bool oneDrop = false, richText = false;
    // Additions; none: as the settings file has it.
    std::optional<bool> inkBox, verify, pdf;
    std::optional<int> preview;  // its resolution in dpi; 0: no preview
    std::optional<bool> dsc;
    std::optional<std::string> sendTo;  // empty: send nothing
    bool json = false;                  // JSON Lines on stdout instead of the paths
    // The hot folder (--watch DIR), how long a file must stay unchanged, and how many
    // conversions run at once (0: the cores for --watch, 1 for FILEs).
    std::optional<std::string> watch;
    std::chrono::milliseconds settle{2000};
    int jobs = 0;
    bool quiet = false;
    bool help = false, version = false;
    std::vector<std::string> files;
};

extern const char* const kProgram;
extern const char* const kUsage;

// Reads the arguments (without the program name), GNU style: "--crop=0.95" or "--crop 0.95",
// options and files in any order, "--" before files that begin with '-'. Throws UsageError.
Options parseCommandLine(const std::vector<std::string>& args);

}  // namespace zarn
