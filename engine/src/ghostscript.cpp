#include "ghostscript.h"

#include <fcntl.h>
#include <sys/random.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>

#include "child_process.h"
#include "confinement.h"
#include "scratch_folder.h"
#include "zarn/numbers.h"

namespace zarn {

namespace {

using std::chrono::milliseconds;

// The bbox device clips at the lower-left corner of its page, which with fixed media is as large
// as the device allows (about 150000 pt square). The job's origin is moved this far up and
// right on it, so marks from -72000 to about +78000 pt are seen; the report is moved back.
constexpr double kOriginShift = kMeasuredReach;

// The job's own descriptor, as the child gets it.
constexpr const char* kInputPath = "/dev/fd/3";

// A secret of 128 bits, in hex: the job cannot read it, so it cannot print our line.
std::string secret() {
    unsigned char bytes[16] = {};
    std::size_t got = 0;
    while (got < sizeof bytes) {
        const ssize_t n = ::getrandom(bytes + got, sizeof bytes - got, 0);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        got += static_cast<std::size_t>(n);
    }
    static constexpr char kHex[] = "0123456789abcdef";
    std::string text = "zarn-";
    for (const unsigned char b : bytes) {
        text += kHex[b >> 4];
        text += kHex[b & 15];
    }
    return text;
}

// The PostScript that runs the job. Every name in the procedures is bound now, while the
// dictionaries hold only Ghostscript's own; the store of counts is reachable only from the
// procedures, which the job may run but not read, and its name is gone before the job runs.
std::string programText(const GhostscriptJob& job, const std::string& secret) {
    std::string ps =
        "userdict /ZarnRun 3 dict put ZarnRun /pages 0 put ZarnRun /size [0 0] put "
        "ZarnRun /box [0 0 -1 -1] put "
        "userdict /ZarnOldInstall currentpagedevice /Install get put "
        "userdict /ZarnInstall { //ZarnOldInstall exec " +
        job.install +
        " } bind executeonly put "
        // At the end of each page (reason 0 or 1; 2 is the device going away): draw over the
        // first, count it, and keep its size and, from the bbox device, its marks.
        "userdict /ZarnEndPage { exch pop dup 2 ne { "
        "//ZarnRun /pages get 0 eq { gsave initgraphics " +
        job.overPage +
        " grestore } if "
        "//ZarnRun /pages 2 copy get 1 add put "
        "//ZarnRun /size //currentpagedevice /PageSize get aload pop 2 array astore put "
        "currentdevice //getdeviceprops >> dup /PageBoundingBox known "
        "{ /PageBoundingBox get aload pop 4 array astore //ZarnRun exch /box exch put } "
        "{ pop } ifelse } if 2 ne } bind executeonly put "
        "<< /EndPage /ZarnEndPage load /Install /ZarnInstall load >> setpagedevice "
        "{ (" +
        std::string(kInputPath) + ") (r) file cvx exec ";
    if (job.eps) ps += "//showpage ";
    ps += "(\\n" + secret +
          ") print [ //ZarnRun /pages get //currentpagedevice /PageCount get "
          "//currentpagedevice dup /EndPage get //ZarnEndPage eq exch /Install get "
          "//ZarnInstall eq and { 1 } { 0 } ifelse "
          "//ZarnRun /size get { 1000 mul round } forall //ZarnRun /box get aload pop "
          "currentdevice //getdeviceprops >> /HWResolution get { 1000 mul round } forall ] "
          "{ ( ) print cvi 20 string cvs print } forall (\\n) print flush } bind executeonly "
          "userdict /ZarnRun undef userdict /ZarnOldInstall undef "
          "userdict /ZarnInstall undef userdict /ZarnEndPage undef exec";
    return ps;
}

std::vector<std::string> arguments(const GhostscriptJob& job, const std::string& secret) {
    // PostScript's own %stdout (print, ==) goes to the messages, so that only the device
    // writes the target; the job may read its own descriptor and nothing else of ours.
    std::vector<std::string> argv{
        "-dSAFER", "-dBATCH",          "-dNOPAUSE",
        "-q",      "-sstdout=%stderr", std::string("--permit-file-read=") + kInputPath};
    argv.insert(argv.end(), job.options.begin(), job.options.end());
    if (job.target >= 0) argv.emplace_back("-sOutputFile=%stdout");
    argv.insert(argv.end(), {"-c", programText(job, secret)});
    return argv;
}

// Nothing of the caller's environment: no GS_OPTIONS, GS_LIB or anything else.
std::vector<std::string> environment(const ScratchFolder& scratch) {
    return {"PATH=/usr/bin:/bin", "HOME=" + scratch.path(), "TMPDIR=" + scratch.path(), "LC_ALL=C"};
}

// What the messages said that matters: our line, Ghostscript's first error line, and whether
// it ran out of memory.
struct Heard {
    std::optional<GhostscriptReport> report;
    std::string firstError;
    bool outOfMemory = false;
};

std::string withError(std::string sentence, const Heard& heard) {
    if (!heard.firstError.empty()) sentence += ": " + escapedLine(heard.firstError);
    return sentence;
}

std::string megabytes(std::uint64_t bytes) {
    return intText(static_cast<std::int64_t>(bytes >> 20));
}

GhostscriptRun failed(std::string detail) {
    return {GhostscriptStatus::Failed, {}, std::move(detail)};
}

GhostscriptRun verdict(const ChildRun& run, const Heard& heard, const std::string& name,
                       const ChildLimits& limits) {
    const std::string seconds = realText(static_cast<double>(limits.wall.count()) / 1000);
    switch (run.end) {
        case ChildEnd::NotStarted:
            if (run.code == ENOENT)
                return {GhostscriptStatus::NotFound, {}, name + " was not found on the PATH"};
            return failed("cannot start " + name + ": " + std::strerror(run.code));
        case ChildEnd::Stopped:
        case ChildEnd::Interrupted: return {GhostscriptStatus::Stopped, {}, name + " was stopped"};
        case ChildEnd::TimedOut: return failed(name + " did not finish within " + seconds + " s");
        case ChildEnd::CpuTime:
            return failed(name + " used up its " + intText(limits.cpu.count()) +
                          " s of processor time");
        case ChildEnd::Written:
            return failed(name + " wrote more than the " + megabytes(limits.written) +
                          " MiB it may write");
        case ChildEnd::Unknown:
            return failed("how " + name + " ended is not known: it was reaped elsewhere");
        case ChildEnd::Signalled:
        case ChildEnd::Exited: break;
    }
    if (heard.outOfMemory && (run.end == ChildEnd::Signalled || run.code != 0))
        return failed(name + " ran out of the " + megabytes(limits.memory) +
                      " MiB of memory it may use");
    if (run.end == ChildEnd::Signalled)
        return failed(withError(name + " was stopped by signal " + intText(run.code), heard));
    // The job's own text may say "Error": only how it ended and our line decide.
    if (run.code != 0)
        return failed(withError(name + " failed (exit status " + intText(run.code) + ")", heard));
    if (!heard.report) return failed(name + " did not run the job to its end");
    const GhostscriptReport& r = *heard.report;
    if (!r.intact) return failed("the job replaced the procedures that count its pages");
    if (r.pages != 1 || r.deviceCount != 1)
        return failed(name + " saw " + intText(std::max(r.pages, r.deviceCount)) +
                      " pages where the job has one");
    return {GhostscriptStatus::Done, r, {}};
}

int percentOf(std::uint64_t read, std::uint64_t size) {
    if (size == 0) return 0;
    return static_cast<int>(std::min<std::uint64_t>(read, size) * 100 / size);
}

}  // namespace

ChildLimits ghostscriptLimits(std::uint64_t bytes) {
    const milliseconds wall(20'000 + bytes / 10'000);  // 10 000 ms per 100 000 000 bytes
    // The largest preview Ghostscript may make, 200 million pixels, renders in bands within a
    // few dozen MiB; a job that wants more is a bomb. What it writes is the rendering and its
    // scratch, both of the input's order.
    return {wall, std::chrono::ceil<std::chrono::seconds>(wall), 2ULL << 30,
            (1ULL << 30) + 4 * bytes};
}

std::string escapedLine(std::string_view text, std::size_t most) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string line;
    for (const char ch : text) {
        const auto byte = static_cast<unsigned char>(ch);
        if (line.size() >= most) {
            line += "...";
            break;
        }
        if (byte >= 0x20 && byte < 0x7f) {
            line += ch;
        } else {
            line += "\\x";
            line += kHex[byte >> 4];
            line += kHex[byte & 15];
        }
    }
    return line;
}

std::optional<GhostscriptReport> parseReport(std::string_view line, std::string_view secret) {
    if (secret.empty() || !line.starts_with(secret)) return std::nullopt;
    line.remove_prefix(secret.size());
    std::int64_t v[11];
    const char* p = line.data();
    const char* end = p + line.size();
    for (std::int64_t& x : v) {
        if (p == end || *p != ' ') return std::nullopt;
        const auto [next, ec] = std::from_chars(p + 1, end, x);
        if (ec != std::errc{}) return std::nullopt;
        p = next;
    }
    if (p != end || v[9] <= 0 || v[10] <= 0 || v[0] < 0 || v[1] < 0 || v[2] < 0 || v[2] > 1 ||
        v[3] < 0 || v[4] < 0)
        return std::nullopt;
    GhostscriptReport r;
    r.pages = static_cast<int>(std::min<std::int64_t>(v[0], 1'000'000));
    r.deviceCount = static_cast<int>(std::min<std::int64_t>(v[1], 1'000'000));
    r.intact = v[2] == 1;
    r.pageWidth = static_cast<double>(v[3]) / 1000;
    r.pageHeight = static_cast<double>(v[4]) / 1000;
    if (v[7] >= v[5] && v[8] >= v[6])
        r.pixels = InkExtent{static_cast<double>(v[5]), static_cast<double>(v[6]),
                             static_cast<double>(v[7]), static_cast<double>(v[8])};
    r.resolutionX = static_cast<double>(v[9]) / 1000;
    r.resolutionY = static_cast<double>(v[10]) / 1000;
    return r;
}

GhostscriptRun runGhostscript(const GhostscriptJob& job, const std::string& program,
                              const std::function<bool(int)>& working) {
    const std::string name = "Ghostscript (" + program + ")";
    const std::optional<std::string> found = findProgram(program);
    if (!found) return {GhostscriptStatus::NotFound, {}, name + " was not found on the PATH"};
    removeAbandonedScratch();
    const ScratchFolder scratch;
    const Confinement confinement(scratch.descriptor(), job.input, *found);
    if (confinement.failed())
        return failed("the kernel refused to confine " + name + ": " +
                      std::strerror(confinement.error()));
    const std::string key = secret();
    ChildCommand command;
    command.program = *found;
    command.arguments = arguments(job, key);
    command.environment = environment(scratch);
    command.folder = scratch.path();
    command.input = job.input;
    command.output = job.target;
    command.confinement = &confinement;
    command.limits = job.limits;
    Heard heard;
    ChildWatch watch;
    watch.onLine = [&](std::string_view line) {
        // A line as long as the runner cuts may have lost the end of a number.
        if (line.size() < kMessageLineBytes)
            if (const auto report = parseReport(line, key)) heard.report = report;
        if (line.find("VMerror") != std::string_view::npos) heard.outOfMemory = true;
        if (heard.firstError.empty() && line.starts_with("Error: ")) heard.firstError = line;
    };
    if (working)
        watch.onTick = [&](std::uint64_t read) { return working(percentOf(read, job.inputSize)); };
    const ChildRun run = runChild(command, watch);
    return verdict(run, heard, name, command.limits);
}

GhostscriptJob inkJob(int input, std::uint64_t inputSize, bool eps) {
    GhostscriptJob job;
    job.task = ChildTask::Check;
    // -dFIXEDMEDIA: a page that the job asks for does not shrink the device's.
    job.options = {"-sDEVICE=bbox", "-dFIXEDMEDIA"};
    // The job's own setpageparams resets /PageOffset and sets an /Orientation that rotates
    // the page on fixed media; the initmatrix drops the rotation, so the marks are measured
    // in the job's own default coordinates, and the shift outlives initgraphics.
    const std::string shift = intText(static_cast<std::int64_t>(kOriginShift));
    job.install = "initmatrix " + shift + " " + shift + " translate";
    job.eps = eps;
    job.input = input;
    job.inputSize = inputSize;
    job.limits = ghostscriptLimits(inputSize);
    return job;
}

std::optional<InkExtent> inkOf(const GhostscriptReport& report) {
    if (!report.pixels || report.resolutionX <= 0 || report.resolutionY <= 0) return std::nullopt;
    const double x = 72 / report.resolutionX, y = 72 / report.resolutionY;
    const InkExtent& p = *report.pixels;
    return InkExtent{p.llx * x - kOriginShift, p.lly * y - kOriginShift, p.urx * x - kOriginShift,
                     p.ury * y - kOriginShift};
}

}  // namespace zarn
