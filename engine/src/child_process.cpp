#include "child_process.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "confinement.h"
#include "running_children.h"

#ifndef SYS_close_range
#include <sys/syscall.h>
#endif

namespace zarn {

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr milliseconds kTick{100};
constexpr rlim_t kOpenFiles = 256;
// Where the child's own descriptors end and the ones it is handed move to on the way.
constexpr int kFirstFree = 6, kLifted = 10;
constexpr int kReport = 4, kRules = 5;

// All the child needs, made before it exists: between fork and exec it may only make system
// calls.
struct Plan {
    const char* program;
    char* const* argv;
    char* const* envp;
    const char* folder;
    int input, output, messages, report, ruleset;
    pid_t parent;
    rlimit memory, cpu, written;
};

[[noreturn]] void fail(int report) {
    const int error = errno;
    [[maybe_unused]] const ssize_t n = ::write(report, &error, sizeof error);
    ::_exit(127);
}

int lifted(int fd) { return fd < 0 ? -1 : ::fcntl(fd, F_DUPFD, kLifted); }

[[noreturn]] void becomeChild(const Plan& p) noexcept {
    int report = ::fcntl(p.report, F_DUPFD_CLOEXEC, kLifted);
    if (report < 0) ::_exit(127);
    // Its own session: no terminal, and signals to our process group do not reach it.
    if (::setsid() < 0) fail(report);
    if (::prctl(PR_SET_PDEATHSIG, SIGKILL) != 0) fail(report);
    if (::getppid() != p.parent) ::_exit(127);  // we died before the line above
    struct sigaction standard {};
    standard.sa_handler = SIG_DFL;
    for (int signal = 1; signal < NSIG; ++signal) ::sigaction(signal, &standard, nullptr);
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);

    const int nothing = ::open("/dev/null", O_RDWR | O_CLOEXEC);
    const int in = lifted(p.input), out = lifted(p.output >= 0 ? p.output : p.messages),
              err = lifted(p.messages), rules = lifted(p.ruleset);
    if (nothing < 0 || out < 0 || err < 0 || (p.input >= 0 && in < 0) ||
        (p.ruleset >= 0 && rules < 0))
        fail(report);
    if (::dup2(nothing, 0) < 0 || ::dup2(out, 1) < 0 || ::dup2(err, 2) < 0) fail(report);
    if (in >= 0 ? ::dup2(in, 3) < 0 : ::close(3) < 0 && errno != EBADF) fail(report);
    if (::dup3(report, kReport, O_CLOEXEC) < 0) fail(report);
    report = kReport;
    if (rules >= 0 && ::dup3(rules, kRules, O_CLOEXEC) < 0) fail(report);
    if (::syscall(SYS_close_range, kFirstFree, ~0U, 0) != 0) fail(report);

    const rlimit noCore{0, 0}, files{kOpenFiles, kOpenFiles};
    if (::setrlimit(RLIMIT_AS, &p.memory) != 0 || ::setrlimit(RLIMIT_CPU, &p.cpu) != 0 ||
        ::setrlimit(RLIMIT_FSIZE, &p.written) != 0 || ::setrlimit(RLIMIT_CORE, &noCore) != 0 ||
        ::setrlimit(RLIMIT_NOFILE, &files) != 0)
        fail(report);
    if (::chdir(p.folder) != 0) fail(report);
    if (!enterConfinement(rules >= 0 ? kRules : -1)) fail(report);
    if (rules >= 0) ::close(kRules);
    ::execve(p.program, p.argv, p.envp);
    fail(report);
}

// Pointers into `texts`, ending in a null pointer, as exec wants them.
std::vector<char*> pointers(const std::vector<std::string>& texts) {
    std::vector<char*> list;
    for (const std::string& text : texts) list.push_back(const_cast<char*>(text.c_str()));
    list.push_back(nullptr);
    return list;
}

rlimit limitOf(std::uint64_t value) {
    const rlim_t v = value == 0 ? RLIM_INFINITY : static_cast<rlim_t>(value);
    return {v, v};
}

// The messages, a line at a time and each line cut short, so that a chatty child costs no
// more memory than a quiet one.
class LineSplitter {
public:
    explicit LineSplitter(const std::function<void(std::string_view)>& onLine) : onLine_(onLine) {}
    void feed(std::string_view bytes) {
        for (;;) {
            const std::size_t end = bytes.find('\n');
            const std::size_t room = kMessageLineBytes - std::min(kMessageLineBytes, line_.size());
            line_.append(bytes.substr(0, std::min(end, room)));
            if (end == std::string_view::npos) return;
            take();
            bytes.remove_prefix(end + 1);
        }
    }
    void finish() {
        if (!line_.empty()) take();
    }

private:
    void take() {
        if (onLine_) onLine_(line_);
        line_.clear();
    }
    const std::function<void(std::string_view)>& onLine_;
    std::string line_;
};

// A number after `key` in a /proc file of the child; 0 when there is none.
std::uint64_t procNumber(const std::string& path, std::string_view key) {
    char text[4096];
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return 0;
    const ssize_t n = ::read(fd, text, sizeof text);
    ::close(fd);
    if (n <= 0) return 0;
    const std::string_view all(text, static_cast<std::size_t>(n));
    const std::size_t at = all.find(key);
    if (at == std::string_view::npos) return 0;
    const char* p = all.data() + at + key.size();
    const char* end = all.data() + all.size();
    while (p < end && (*p == ' ' || *p == '\t')) ++p;
    std::uint64_t value = 0;
    std::from_chars(p, end, value);
    return value;
}

// How far the child has read its input: the position of the descriptor on which it opened the
// input again (it reads its own copy, not the one it was handed).
class InputReading {
public:
    InputReading(pid_t pid, int input) : pid_(pid) {
        struct stat st {};
        if (input >= 0 && ::fstat(input, &st) == 0) {
            device_ = st.st_dev;
            inode_ = st.st_ino;
            known_ = true;
        }
    }
    std::uint64_t position() {
        if (!known_) return 0;
        if (fd_ < 0 || !isInput(fd_)) fd_ = find();
        if (fd_ < 0) return 0;
        return procNumber("/proc/" + std::to_string(pid_) + "/fdinfo/" + std::to_string(fd_),
                          "pos:");
    }

private:
    bool isInput(int fd) const {
        struct stat st {};
        const std::string link = "/proc/" + std::to_string(pid_) + "/fd/" + std::to_string(fd);
        return ::stat(link.c_str(), &st) == 0 && st.st_dev == device_ && st.st_ino == inode_;
    }
    int find() const {
        const std::string folder = "/proc/" + std::to_string(pid_) + "/fd";
        struct CloseDir {
            void operator()(DIR* d) const { ::closedir(d); }
        };
        const std::unique_ptr<DIR, CloseDir> listing(::opendir(folder.c_str()));
        if (!listing) return -1;
        while (const dirent* entry = ::readdir(listing.get())) {
            int fd = -1;
            const char* name = entry->d_name;
            std::from_chars(name, name + std::strlen(name), fd);
            if (fd > 3 && isInput(fd)) return fd;
        }
        return -1;
    }
    pid_t pid_;
    dev_t device_ = 0;
    ino_t inode_ = 0;
    bool known_ = false;
    int fd_ = -1;
};

int millisecondsUntil(Clock::time_point when) {
    const auto left = std::chrono::ceil<milliseconds>(when - Clock::now()).count();
    return static_cast<int>(std::clamp<decltype(left)>(left, 0, INT_MAX));
}

// Reads what is there; false at the end of the messages.
bool readMessages(int fd, LineSplitter& lines) {
    char buffer[65536];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got > 0) {
            lines.feed(std::string_view(buffer, static_cast<std::size_t>(got)));
            if (static_cast<std::size_t>(got) < sizeof buffer) return true;
            continue;
        }
        if (got < 0 && errno == EINTR) continue;
        return got < 0 && errno == EAGAIN;
    }
}

ChildRun ended(int status, const rusage& usage, const ChildLimits& limits) {
    if (WIFEXITED(status)) return {ChildEnd::Exited, WEXITSTATUS(status)};
    const int signal = WTERMSIG(status);
    if (signal == SIGXCPU) return {ChildEnd::CpuTime, signal};
    if (signal == SIGXFSZ) return {ChildEnd::Written, signal};
    // At the hard limit the kernel kills.
    const auto used = std::chrono::seconds(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec);
    if (signal == SIGKILL && limits.cpu.count() > 0 && used >= limits.cpu)
        return {ChildEnd::CpuTime, signal};
    return {ChildEnd::Signalled, signal};
}

// Watches the child to its end. It is reaped only after it has left the running children, so
// that the signal handler never kills a process that has taken over its pid.
ChildRun watchChild(pid_t pid, int messages, const ChildCommand& command, const ChildWatch& watch,
                    std::optional<RunningChild>& registered) {
    const ChildLimits& limits = command.limits;
    const Clock::time_point deadline = Clock::now() + limits.wall;
    Clock::time_point tick = Clock::now() + kTick;
    LineSplitter lines(watch.onLine);
    InputReading reading(pid, command.input);
    ::fcntl(messages, F_SETFL, ::fcntl(messages, F_GETFL) | O_NONBLOCK);
    bool open = true;
    std::optional<ChildEnd> killedFor;
    int unknown = 0;  // why its end cannot be known
    for (;;) {
        const int wait = std::min(millisecondsUntil(std::min(tick, deadline)), open ? INT_MAX : 10);
        pollfd ready{messages, POLLIN, 0};
        if (::poll(&ready, open ? 1 : 0, wait) > 0) open = readMessages(messages, lines);
        siginfo_t done{};
        if (::waitid(P_PID, static_cast<id_t>(pid), &done, WEXITED | WNOHANG | WNOWAIT) == 0) {
            if (done.si_pid == pid) break;
        } else if (errno != EINTR) {
            unknown = errno;
            break;
        }
        if (stopSignal() != 0) {
            killedFor = ChildEnd::Interrupted;
        } else if (limits.wall.count() > 0 && Clock::now() >= deadline) {
            killedFor = ChildEnd::TimedOut;
        } else if (Clock::now() >= tick) {
            tick = Clock::now() + kTick;
            const std::string io = "/proc/" + std::to_string(pid) + "/io";
            if (limits.written > 0 && procNumber(io, "wchar:") > limits.written)
                killedFor = ChildEnd::Written;
            else if (watch.onTick && !watch.onTick(reading.position()))
                killedFor = ChildEnd::Stopped;
        }
        if (killedFor) {
            ::kill(pid, SIGKILL);
            break;
        }
    }
    registered.reset();
    int status = 0;
    rusage usage{};
    while (unknown == 0 && ::wait4(pid, &status, 0, &usage) < 0) {
        if (errno != EINTR) unknown = errno;
    }
    if (open) readMessages(messages, lines);
    lines.finish();
    ::close(messages);
    if (unknown != 0) return {ChildEnd::Unknown, unknown};
    // The stop signal's handler kills it; it may be dead before the request is looked at.
    if (!killedFor && stopSignal() != 0 && WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL)
        killedFor = ChildEnd::Interrupted;
    if (killedFor) return {*killedFor, SIGKILL};
    return ended(status, usage, limits);
}

}  // namespace

ChildRun runChild(const ChildCommand& command, const ChildWatch& watch) {
    if (stopSignal() != 0) return {ChildEnd::Interrupted, 0};
    std::vector<std::string> argvTexts{command.program};
    argvTexts.insert(argvTexts.end(), command.arguments.begin(), command.arguments.end());
    const std::vector<char*> argv = pointers(argvTexts), envp = pointers(command.environment);
    int messages[2], report[2];
    if (::pipe2(messages, O_CLOEXEC) != 0) return {ChildEnd::NotStarted, errno};
    if (::pipe2(report, O_CLOEXEC) != 0) {
        const int error = errno;
        ::close(messages[0]);
        ::close(messages[1]);
        return {ChildEnd::NotStarted, error};
    }
    const std::chrono::seconds cpu = command.limits.cpu;
    const Plan plan{command.program.c_str(),
                    argv.data(),
                    envp.data(),
                    command.folder.c_str(),
                    command.input,
                    command.output,
                    messages[1],
                    report[1],
                    command.confinement ? command.confinement->descriptor() : -1,
                    ::getpid(),
                    limitOf(command.limits.memory),
                    {cpu.count() > 0 ? static_cast<rlim_t>(cpu.count()) : RLIM_INFINITY,
                     cpu.count() > 0 ? static_cast<rlim_t>(cpu.count() + 1) : RLIM_INFINITY},
                    limitOf(command.limits.written)};
    // No handler of ours may run in the child; the signal handler must know the child as
    // soon as it exists.
    sigset_t all, before;
    sigfillset(&all);
    ::pthread_sigmask(SIG_SETMASK, &all, &before);
    const pid_t pid = ::fork();
    if (pid == 0) becomeChild(plan);
    const int forkError = errno;
    std::optional<RunningChild> registered;
    if (pid > 0) registered.emplace(pid);
    ::pthread_sigmask(SIG_SETMASK, &before, nullptr);
    ::close(messages[1]);
    ::close(report[1]);
    if (pid < 0) {
        ::close(messages[0]);
        ::close(report[0]);
        return {ChildEnd::NotStarted, forkError};
    }
    int error = 0;
    ssize_t got;
    while ((got = ::read(report[0], &error, sizeof error)) < 0 && errno == EINTR) {
    }
    ::close(report[0]);
    if (got == static_cast<ssize_t>(sizeof error)) {
        registered.reset();
        while (::waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
        }
        ::close(messages[0]);
        return {ChildEnd::NotStarted, error};
    }
    return watchChild(pid, messages[0], command, watch, registered);
}

std::optional<std::string> findProgram(const std::string& name) {
    const auto runnable = [](const std::string& path) {
        struct stat st {};
        return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
               ::access(path.c_str(), X_OK) == 0;
    };
    const auto absolute = [](const std::string& path) -> std::string {
        if (path.starts_with('/')) return path;
        const std::unique_ptr<char, decltype(&std::free)> cwd(::getcwd(nullptr, 0), &std::free);
        return cwd ? std::string(cwd.get()) + "/" + path : path;
    };
    if (name.empty()) return std::nullopt;
    if (name.find('/') != std::string::npos)
        return runnable(name) ? std::optional(absolute(name)) : std::nullopt;
    const char* list = std::getenv("PATH");
    const std::string path = list != nullptr ? list : "/usr/local/bin:/usr/bin:/bin";
    std::size_t from = 0;
    while (from <= path.size()) {
        const std::size_t colon = std::min(path.find(':', from), path.size());
        const std::string dir = colon == from ? "." : path.substr(from, colon - from);
        if (const std::string candidate = dir + "/" + name; runnable(candidate))
            return absolute(candidate);
        from = colon + 1;
    }
    return std::nullopt;
}

}  // namespace zarn
