#include "ghostscript.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <climits>
#include <cstring>
#include <iterator>
#include <string_view>
#include <vector>

#include "zarn/numbers.h"

extern char** environ;

namespace zarn {

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// The bbox device clips at the lower-left corner of its page, which with fixed media is as large
// as the device allows (about 150000 pt square). The file's origin is moved this far up and
// right on it, so marks from -72000 to about +78000 pt are seen; the report is moved back.
constexpr double kOriginShift = kMeasuredReach;
// The file's own setpageparams resets /PageOffset and sets an /Orientation that rotates the page
// on fixed media. An Install procedure runs after every setpagedevice and its matrix becomes the
// default one, so the shift (kOriginShift, written out below) outlives those calls, initgraphics
// and initmatrix; the initmatrix in it drops the rotation, so the marks are measured in the
// file's own default coordinates.
constexpr const char* kPrologue =
    "<< /Install [currentpagedevice /Install get /exec cvx "
    "/initmatrix cvx 72000 72000 /translate cvx] cvx >> setpagedevice";

constexpr std::size_t kTailBytes = 2000;
constexpr std::size_t kLineBytes = 256;  // a report line is shorter; the rest is only messages

// What the child prints, read as it comes: each line is handed on, and only the end is kept
// for a message, so a chatty child costs no more memory than a quiet one.
class Messages {
public:
    explicit Messages(const std::function<void(std::string_view)>& onLine) : onLine_(onLine) {}

    void feed(std::string_view bytes) {
        tail_.append(bytes);
        if (tail_.size() > 2 * kTailBytes) tail_.erase(0, tail_.size() - kTailBytes);
        for (;;) {
            const std::size_t end = bytes.find('\n');
            const std::size_t room = kLineBytes - std::min(kLineBytes, line_.size());
            line_.append(bytes.substr(0, std::min(end, room)));
            if (end == std::string_view::npos) return;
            take(line_);
            line_.clear();
            bytes.remove_prefix(end + 1);
        }
    }
    void finish() { take(line_); }

    bool sawError() const { return sawError_; }
    std::string tail() const {
        return tail_.size() > kTailBytes ? tail_.substr(tail_.size() - kTailBytes) : tail_;
    }

private:
    void take(std::string_view line) {
        if (line.find("Error: ") != std::string_view::npos) sawError_ = true;
        if (onLine_) onLine_(line);
    }

    const std::function<void(std::string_view)>& onLine_;
    std::string tail_;
    std::string line_;
    bool sawError_ = false;
};

// The bbox device's report of one page, moved back by the shift; none for an empty page or
// another line.
std::optional<InkExtent> pageReport(std::string_view line) {
    constexpr std::string_view kReport = "%%HiResBoundingBox:";
    if (line.substr(0, kReport.size()) != kReport) return std::nullopt;
    line.remove_prefix(kReport.size());
    double v[4];
    const char* p = line.data();
    const char* end = p + line.size();
    for (double& x : v) {
        while (p < end && (*p == ' ' || *p == '\t')) ++p;
        const auto [next, ec] = std::from_chars(p, end, x);
        if (ec != std::errc{}) return std::nullopt;
        p = next;
    }
    if (v[2] <= v[0] && v[3] <= v[1]) return std::nullopt;
    return InkExtent{v[0] - kOriginShift, v[1] - kOriginShift, v[2] - kOriginShift,
                     v[3] - kOriginShift};
}

InkExtent unite(const InkExtent& a, const InkExtent& b) {
    return {std::min(a.llx, b.llx), std::min(a.lly, b.lly), std::max(a.urx, b.urx),
            std::max(a.ury, b.ury)};
}

// Starts the child with standard input from /dev/null, standard output into `outputFile` (or,
// when it is -1, the pipe) and standard error into one pipe, whose reading end is returned in
// `readEnd`. No other descriptor of ours reaches the child. Returns 0 or the error number.
int spawn(const std::vector<std::string>& argv, int outputFile, pid_t& pid, int& readEnd) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) return errno;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, outputFile >= 0 ? outputFile : fds[1],
                                     STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDERR_FILENO);
#ifdef __GLIBC__
#if __GLIBC_PREREQ(2, 34)
    // Also those that other code opened without close-on-exec.
    posix_spawn_file_actions_addclosefrom_np(&actions, STDERR_FILENO + 1);
#endif
#endif
    // The child starts with no blocked signals and SIGPIPE at its default, whatever ours are.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t signals;
    sigemptyset(&signals);
    posix_spawnattr_setsigmask(&attributes, &signals);
    sigaddset(&signals, SIGPIPE);
    posix_spawnattr_setsigdefault(&attributes, &signals);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    const int rc = posix_spawnp(&pid, args[0], &actions, &attributes, args.data(), environ);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    ::close(fds[1]);
    if (rc != 0) {
        ::close(fds[0]);
        return rc;
    }
    readEnd = fds[0];
    return 0;
}

int millisecondsLeft(Clock::time_point deadline) {
    const auto left = std::chrono::ceil<milliseconds>(deadline - Clock::now()).count();
    return static_cast<int>(std::clamp<decltype(left)>(left, 0, INT_MAX));
}

// Reads until the child closes its outputs; false when the deadline comes first.
bool drain(int fd, Clock::time_point deadline, Messages& out) {
    char buffer[4096];
    for (;;) {
        const int wait = millisecondsLeft(deadline);
        if (wait == 0) return false;
        pollfd ready{fd, POLLIN, 0};
        const int n = ::poll(&ready, 1, wait);
        if (n == 0 || (n < 0 && errno == EINTR)) continue;
        if (n < 0) return true;
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && (errno == EINTR || errno == EAGAIN)) continue;
        if (got <= 0) return true;
        out.feed(std::string_view(buffer, static_cast<std::size_t>(got)));
    }
}

// The child's wait status, or none when the deadline comes first. Status 0 when someone else
// reaped it (SIGCHLD ignored): the output then decides.
std::optional<int> reap(pid_t pid, Clock::time_point deadline) {
    for (;;) {
        int status = 0;
        const pid_t r = ::waitpid(pid, &status, WNOHANG);
        if (r == pid) return status;
        if (r < 0 && errno != EINTR) return 0;
        if (millisecondsLeft(deadline) == 0) return std::nullopt;
        const timespec pause{0, 5'000'000};
        ::nanosleep(&pause, nullptr);
    }
}

void killAndReap(pid_t pid) {
    ::kill(pid, SIGKILL);
    while (::waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
    }
}

// Ghostscript reads a name that begins with "-" as an option and one that begins with "@" or "%"
// as something else, even after -f; below "./" the name is only a file.
std::string fileArgument(const std::string& path) {
    return !path.empty() && path[0] == '/' ? path : "./" + path;
}

// PostScript's own %stdout (print, ==) goes to the messages, so that only the device writes the
// output file.
const char* const kSafeOptions[] = {"-dSAFER", "-dBATCH", "-dNOPAUSE", "-q", "-sstdout=%stderr"};

std::vector<std::string> arguments(const std::string& program, const GhostscriptCommand& command) {
    std::vector<std::string> argv{program};
    argv.insert(argv.end(), std::begin(kSafeOptions), std::end(kSafeOptions));
    argv.insert(argv.end(), command.options.begin(), command.options.end());
    if (command.outputFile >= 0) argv.emplace_back("-sOutputFile=%stdout");
    if (!command.prologue.empty()) argv.insert(argv.end(), {"-c", command.prologue});
    argv.insert(argv.end(), {"-f", fileArgument(command.path)});
    return argv;
}

GhostscriptRun failure(GhostscriptStatus status, const std::string& what, const Messages& out) {
    const std::string tail = out.tail();
    return {status, tail.empty() ? what : what + ":\n" + tail};
}

// -dFIXEDMEDIA: a page that the file asks for does not shrink the device's.
const char* const kBboxOptions[] = {"-sDEVICE=bbox", "-dFIXEDMEDIA"};

}  // namespace

std::chrono::milliseconds inkTimeLimit(std::uint64_t fileBytes) {
    return milliseconds(20'000 + fileBytes / 10'000);  // 10 000 ms per 100 000 000 bytes
}

std::chrono::milliseconds timeLimitFor(const std::string& path) {
    struct stat st {};
    return inkTimeLimit(::stat(path.c_str(), &st) == 0 ? st.st_size : 0);
}

GhostscriptRun runGhostscript(const GhostscriptCommand& command, const std::string& program,
                              const std::function<void(std::string_view)>& onLine) {
    using Status = GhostscriptStatus;
    const std::string name = "Ghostscript (" + program + ")";
    const Clock::time_point deadline = Clock::now() + command.limit;
    pid_t pid = 0;
    int fd = -1;
    if (const int rc = spawn(arguments(program, command), command.outputFile, pid, fd); rc != 0) {
        if (rc == ENOENT) return {Status::NotFound, name + " was not found on the PATH"};
        return {Status::Failed, "cannot start " + name + ": " + std::strerror(rc)};
    }
    Messages out(onLine);
    const bool ended = drain(fd, deadline, out);
    ::close(fd);
    const std::optional<int> status = ended ? reap(pid, deadline) : std::nullopt;
    if (!status) {
        killAndReap(pid);
        const std::string seconds = realText(static_cast<double>(command.limit.count()) / 1000);
        return failure(Status::TimedOut, name + " did not finish within " + seconds + " s", out);
    }
    out.finish();
    if (WIFSIGNALED(*status)) {
        const std::string signal = intText(WTERMSIG(*status));
        return failure(Status::Failed, name + " was stopped by signal " + signal, out);
    }
    if (WEXITSTATUS(*status) != 0 || out.sawError()) {
        const std::string exit = intText(WEXITSTATUS(*status));
        return failure(Status::Failed, name + " failed (exit status " + exit + ")", out);
    }
    return {Status::Done, {}};
}

InkMeasurement measureInk(const std::string& path, const std::string& program) {
    return measureInk(path, program, timeLimitFor(path));
}

InkMeasurement measureInk(const std::string& path, const std::string& program,
                          std::chrono::milliseconds limit) {
    GhostscriptCommand command{
        {std::begin(kBboxOptions), std::end(kBboxOptions)}, kPrologue, path, -1, limit};
    std::optional<InkExtent> marks;
    const GhostscriptRun run = runGhostscript(command, program, [&](std::string_view line) {
        if (const std::optional<InkExtent> page = pageReport(line))
            marks = marks ? unite(*marks, *page) : *page;
    });
    using Status = InkMeasurement::Status;
    switch (run.status) {
        case GhostscriptStatus::Done: return {Status::Measured, marks, {}};
        case GhostscriptStatus::NotFound: return {Status::NotFound, std::nullopt, run.detail};
        case GhostscriptStatus::TimedOut: return {Status::TimedOut, std::nullopt, run.detail};
        case GhostscriptStatus::Failed: break;
    }
    return {Status::Failed, std::nullopt, run.detail};
}

}  // namespace zarn
