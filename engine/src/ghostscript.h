// Ghostscript, run on a leash (child_process.h), as a measuring instrument and a renderer. What
// it saw of the job is told by one line that only our own PostScript can print: the job runs
// inside a procedure of ours, which counts its pages and, after the job's last line, prints
// the count under a secret that the job cannot read.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "child_process.h"
#include "extent.h"
#include "zarn/platform.h"

namespace zarn {

// What one run of Ghostscript was asked to do.
struct GhostscriptJob {
    ChildTask task = ChildTask::Check;
    std::vector<std::string> options;  // the device and its settings
    // PostScript, in the job's default coordinates once the page is set up: run before the
    // job, as the page's Install procedure (it also runs at every initgraphics).
    std::string install;
    // PostScript drawn over the first page before it is output, in its default coordinates.
    std::string overPage;
    bool eps = false;  // the job shows no page of its own: its page is shown after it
    int input = -1;    // the job, an open file; Ghostscript reads it through this descriptor
    int target = -1;   // where the device writes; -1: nowhere
    std::uint64_t inputSize = 0;
    ChildLimits limits;  // as ghostscriptLimits gives them for the input
};

// What Ghostscript saw, from the line of ours at the job's end.
struct GhostscriptReport {
    int pages = 0;        // pages the job ended, as our page procedure counted them
    int deviceCount = 0;  // pages the device output, as it counts them
    bool intact = false;  // our page procedures were still in place at the end
    double pageWidth = 0, pageHeight = 0;  // the last page's size, PS units
    // The bbox device only: the last page's marks in device pixels and its resolution; none
    // when nothing was drawn.
    std::optional<InkExtent> pixels;
    double resolutionX = 0, resolutionY = 0;
};

enum class GhostscriptStatus { Done, NotFound, Failed, Stopped };

struct GhostscriptRun {
    GhostscriptStatus status = GhostscriptStatus::Failed;
    GhostscriptReport report;  // when Done: the job ran to its end, once, without an error
    std::string detail;        // otherwise, one sentence: what went wrong, with Ghostscript's
                               // first error line, its control bytes shown as escapes
};

// The limits a run gets for an input of `bytes`: wall time 20 s and 10 s more for every 100 MB,
// as much processor time, 2 GiB of memory, and 1 GiB and four times the input written.
ChildLimits ghostscriptLimits(std::uint64_t bytes);

// Runs `job` with `program` (looked up on the PATH). Done only when the job ran to its end
// without an error and ended exactly one page, its page procedures untouched; a job that
// quits, stops early, shows no page or several, or tampers with them has failed. `working`
// hears how much of the input Ghostscript has read, in percent; when it says false the run
// ends (Stopped), as it does at a stop signal to the program.
GhostscriptRun runGhostscript(const GhostscriptJob& job, const std::string& program = "gs",
                              const std::function<bool(int percent)>& working = {});

// How far from the origin, either way, a check is sure to see marks, in PS units.
inline constexpr double kMeasuredReach = 72000;

// A check's job: the bbox device on a page large enough that marks at negative coordinates or
// far beyond the file's own box are also seen, whatever page the file asks for. The limits are
// the input's.
GhostscriptJob inkJob(int input, std::uint64_t inputSize, bool eps);
// The marks of a check's report in the job's default coordinates; none when nothing is drawn.
std::optional<InkExtent> inkOf(const GhostscriptReport& report);

// The report in `line`, when it is the line under `secret`. Exposed for the fuzz target.
std::optional<GhostscriptReport> parseReport(std::string_view line, std::string_view secret);

// `text` as one line for a message: bytes outside printable ASCII as \xNN, at most `most`
// bytes of it.
std::string escapedLine(std::string_view text, std::size_t most = 160);

}  // namespace zarn
