// Ghostscript as a child process: run safely, with a time limit, its messages kept short. As a
// measuring instrument it tells where the marks of a PostScript file really lie.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zarn {

enum class GhostscriptStatus { Done, NotFound, Failed, TimedOut };

// One run: always -dSAFER -dBATCH -dNOPAUSE -q, then `options`, then `prologue` as PostScript
// (-c; it never holds a file name), then the file.
struct GhostscriptCommand {
    std::vector<std::string> options;
    std::string prologue;
    std::string path;
    // Where the device writes what it makes (-sOutputFile=%stdout): a file opened by the
    // caller. -1: standard output joins the messages.
    int outputFile = -1;
    std::chrono::milliseconds limit{0};
};

struct GhostscriptRun {
    GhostscriptStatus status = GhostscriptStatus::Failed;
    std::string detail;  // unless Done: what went wrong, then the end of Ghostscript's messages
};

// `program` is looked up on the PATH. Each line of the messages goes to `onLine`, cut at 256
// bytes. A run that prints "Error: " has failed, whatever its exit status.
GhostscriptRun runGhostscript(const GhostscriptCommand& command, const std::string& program,
                              const std::function<void(std::string_view line)>& onLine = {});

// 20 s, and 10 s more for every 100 MB.
std::chrono::milliseconds inkTimeLimit(std::uint64_t fileBytes);
// The time limit for the file at `path`, from its size.
std::chrono::milliseconds timeLimitFor(const std::string& path);

// Where the marks lie, in PS units of the file's own default coordinates: the union over its
// pages.
struct InkExtent {
    double llx, lly, urx, ury;
};

struct InkMeasurement {
    enum class Status { Measured, NotFound, Failed, TimedOut };
    Status status = Status::Failed;
    std::optional<InkExtent> marks;  // when Measured and anything is drawn
    std::string detail;  // otherwise: what went wrong, then the end of Ghostscript's messages
};

// How far from the origin, either way, measureInk is sure to see marks, in PS units.
inline constexpr double kMeasuredReach = 72000;

// Renders `path` with the bbox device on a page large enough that marks at negative
// coordinates or far beyond the file's own box are also seen, whatever page the file asks
// for. The time limit grows with the file's size.
InkMeasurement measureInk(const std::string& path, const std::string& program = "gs");
InkMeasurement measureInk(const std::string& path, const std::string& program,
                          std::chrono::milliseconds limit);

}  // namespace zarn
