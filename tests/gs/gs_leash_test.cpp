// Ghostscript on its leash, seen from outside the converter: a stop signal or a kill while it
// runs ends it with the converter and leaves nothing behind, and no name of an input reaches it
// as anything but a name.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "process.h"
#include "test_support.h"

extern char** environ;

namespace zarn::gs {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using testing::readFile;
using testing::writeFile;
using Names = std::set<std::string>;

// One stroke on a page; `extra` runs before the page is shown.
std::string board(const std::string& extra = {}) {
    testing::Board b;
    // The converter sets gray levels with "g".
    // clang-format off
    b.window = {"/m {moveto} def", "/l {lineto} def", "/s {stroke} def", "/g {setgray} def",
                "/zarn_units {0.05625 mul dup} def", "1 zarn_units scale", "0 0 translate"};
    // clang-format on
    b.body = {"1 setlinecap", "1000 1000 m", "1000 1000 l", "2000 3000 l", "s"};
    if (!extra.empty()) b.body.push_back(extra);
    b.body.insert(b.body.end(), {"showpage", "\x04"});
    return b.bytes();
}

Names entriesOf(const std::string& folder) {
    Names names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.insert(entry.path().filename().string());
    return names;
}

Names scratchIn(const std::string& tmp) {
    Names scratch;
    for (const std::string& name : entriesOf(tmp))
        if (name.starts_with("zarn1-gs-") || name.starts_with(".zarn1-gs-")) scratch.insert(name);
    return scratch;
}

std::string howEnded(int status) {
    return WIFSIGNALED(status) ? std::string("SIG") + sigabbrev_np(WTERMSIG(status))
                               : "wait status " + std::to_string(status);
}

constexpr int kReapedByItsParent = -1, kOutlived = -2;

// The wait status of our child `pid` once it has ended; kReapedByItsParent when it is not ours
// (its parent reaped it), kOutlived when it still ran after `within` (it is killed then).
int reap(pid_t pid, Clock::duration within) {
    const Clock::time_point deadline = Clock::now() + within;
    int status = 0;
    for (;;) {
        const pid_t r = ::waitpid(pid, &status, WNOHANG);
        if (r == pid) return status;
        if (r < 0 && errno == ECHILD) return kReapedByItsParent;
        if (Clock::now() >= deadline) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
            return kOutlived;
        }
        std::this_thread::sleep_for(2ms);
    }
}

struct ProcessState {
    std::string name;
    char state = 0;
    pid_t ppid = 0;
};

// What /proc says of `pid`; none when there is no such process.
std::optional<ProcessState> stateOf(const std::string& pid) {
    std::string stat;
    try {
        stat = readFile("/proc/" + pid + "/stat");
    } catch (const std::exception&) {
        return std::nullopt;
    }
    // "pid (name) state ppid": the name may hold spaces and parentheses.
    const std::size_t open = stat.find('('), close = stat.rfind(')');
    if (open == std::string::npos || close == std::string::npos) return std::nullopt;
    ProcessState p{stat.substr(open + 1, close - open - 1)};
    std::istringstream(stat.substr(close + 1)) >> p.state >> p.ppid;
    return p;
}

// The child of `parent` once it has become Ghostscript; 0 when none did within 10 s (the
// parent is killed then).
pid_t ghostscriptOf(pid_t parent) {
    const Clock::time_point deadline = Clock::now() + 10s;
    while (Clock::now() < deadline) {
        std::error_code ec;
        for (const auto& entry : std::filesystem::directory_iterator("/proc", ec)) {
            const std::string pid = entry.path().filename().string();
            const auto p = stateOf(pid);
            if (p && p->ppid == parent && p->name == "gs") return std::stoi(pid);
        }
        std::this_thread::sleep_for(2ms);
    }
    ::kill(parent, SIGKILL);
    reap(parent, 10s);
    return 0;
}

// The converter in folders of its own: `job_` for the files, `tmp_` as TMPDIR for the scratch.
class Leash : public ::testing::Test {
protected:
    void SetUp() override {
        if (!testing::findInPath("gs")) GTEST_SKIP() << "Ghostscript (gs) is not in PATH";
        // Ghostscript orphaned by a killed converter comes to us, to be seen and reaped.
        ASSERT_EQ(::prctl(PR_SET_CHILD_SUBREAPER, 1), 0);
        job_ = dir_.file("job");
        tmp_ = dir_.file("tmp");
        std::filesystem::create_directory(job_);
        std::filesystem::create_directory(tmp_);
    }

    // Starts the converter in `folder` with `args` after the options every run takes; what it
    // says goes to `err_`.
    pid_t start(const std::vector<std::string>& args, const std::string& folder) {
        std::vector<std::string> argv{ZARN_CONVERTER, "--no-settings", "-q"}, env{"TMPDIR=" + tmp_};
        argv.insert(argv.end(), args.begin(), args.end());
        for (char** e = environ; *e != nullptr; ++e)
            if (!std::string_view(*e).starts_with("TMPDIR=")) env.emplace_back(*e);
        const auto pointers = [](std::vector<std::string>& texts) {
            std::vector<char*> list;
            for (std::string& t : texts) list.push_back(t.data());
            list.push_back(nullptr);
            return list;
        };
        std::vector<char*> argp = pointers(argv), envp = pointers(env);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 1, err_.c_str(), O_WRONLY | O_CREAT | O_APPEND,
                                         0600);
        posix_spawn_file_actions_adddup2(&actions, 1, 2);
        posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
        pid_t pid = 0;
        const int rc = ::posix_spawn(&pid, argp[0], &actions, nullptr, argp.data(), envp.data());
        posix_spawn_file_actions_destroy(&actions);
        EXPECT_EQ(rc, 0) << "cannot start " << ZARN_CONVERTER;
        return rc == 0 ? pid : 0;
    }

    // The converter's exit status, or -1 when it did not exit within a minute.
    int finish(pid_t pid) {
        const int status = pid > 0 ? reap(pid, 60s) : kOutlived;
        return status >= 0 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    std::string said() const { return testing::fileExists(err_) ? readFile(err_) : ""; }

    testing::ScratchDir dir_;
    std::string job_, tmp_, err_ = dir_.file("messages");
};

// ---------------------------------------------------------------------------------------------
// Signals while Ghostscript runs

// Each option that runs Ghostscript.
const std::string kUses[] = {"--verify", "--pdf", "--preview"};
const int kSignals[] = {SIGTERM, SIGINT, SIGHUP, SIGKILL};

class StopWhileGhostscriptRuns
    : public Leash,
      public ::testing::WithParamInterface<std::tuple<std::string, int>> {};

// The job never ends, so the signal always finds Ghostscript running.
TEST_P(StopWhileGhostscriptRuns, EndsBothAndLeavesNoRendering) {
    const auto& [use, sig] = GetParam();
    writeFile(job_ + "/LOOP.P01", board("{ } loop"));
    const pid_t converter = start({use, "LOOP.P01"}, job_);
    ASSERT_GT(converter, 0);
    const pid_t gs = ghostscriptOf(converter);
    ASSERT_GT(gs, 0) << "Ghostscript did not start\n" << said();
    ::kill(converter, sig);
    const int status = reap(converter, 2s);
    ASSERT_NE(status, kOutlived) << "the converter outlived the signal";
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == sig)
        << "the converter ended by " << howEnded(status) << "\n"
        << said();
    // A stop signal lets the converter end and reap Ghostscript; a kill leaves it to its
    // parent-death signal and to us.
    const int gsStatus = reap(gs, 2s);
    ASSERT_NE(gsStatus, kOutlived) << "Ghostscript outlived the converter";
    if (sig == SIGKILL) {
        EXPECT_TRUE(WIFSIGNALED(gsStatus) && WTERMSIG(gsStatus) == SIGKILL) << howEnded(gsStatus);
    } else {
        EXPECT_EQ(gsStatus, kReapedByItsParent) << "the converter left Ghostscript to others";
    }
    errno = 0;
    EXPECT_EQ(::waitpid(-1, nullptr, WNOHANG), -1) << "a process of the run is left";
    EXPECT_EQ(errno, ECHILD);

    for (const std::string& name : entriesOf(job_))
        EXPECT_FALSE(name.ends_with(".pdf") || name.ends_with(".png")) << name;
    if (sig != SIGKILL) {
        EXPECT_EQ(scratchIn(tmp_), Names{});
        // A stop is no verdict on the job.
        EXPECT_EQ(readFile(job_ + "/LOOP_E01_log.TXT").find("Ghostscript"), std::string::npos);
        // Nothing but the job's own files: no rendering under a hidden name either.
        for (const std::string& name : entriesOf(job_))
            EXPECT_TRUE(Names({"LOOP.P01", "LOOP_E01.ps", "LOOP_E01_log.TXT"}).contains(name))
                << name;
        return;
    }
    // The converter had no chance to remove its scratch; the next run does.
    EXPECT_NE(scratchIn(tmp_), Names{});
    writeFile(job_ + "/BOARD.P01", board());
    EXPECT_EQ(finish(start({"--verify", "BOARD.P01"}, job_)), 0) << said();
    EXPECT_EQ(scratchIn(tmp_), Names{});
}

INSTANTIATE_TEST_SUITE_P(UsesAndSignals, StopWhileGhostscriptRuns,
                         ::testing::Combine(::testing::ValuesIn(kUses),
                                            ::testing::ValuesIn(kSignals)),
                         [](const auto& info) {
                             return std::get<0>(info.param).substr(2) + "_" +
                                    sigabbrev_np(std::get<int>(info.param));
                         });

// The handler's kill may end Ghostscript before the converter looks at it again: held still
// until Ghostscript has died, the converter must still take the run as stopped, not failed.
TEST_F(Leash, AStopFindingGhostscriptDeadIsStillAStop) {
    writeFile(job_ + "/LOOP.P01", board("{ } loop"));
    for (const std::string& use : kUses) {
        SCOPED_TRACE(use);
        const pid_t converter = start({use, "LOOP.P01"}, job_);
        const pid_t gs = ghostscriptOf(converter);
        ASSERT_GT(gs, 0) << "Ghostscript did not start\n" << said();
        int status = 0;
        ::kill(converter, SIGSTOP);
        ASSERT_EQ(::waitpid(converter, &status, WUNTRACED), converter);
        ::kill(converter, SIGTERM);
        ::kill(gs, SIGKILL);
        for (auto p = stateOf(std::to_string(gs)); p && p->state != 'Z';
             p = stateOf(std::to_string(gs)))
            std::this_thread::sleep_for(1ms);
        ::kill(converter, SIGCONT);
        status = reap(converter, 2s);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << howEnded(status);
        const std::string log = readFile(job_ + "/LOOP_E01_log.TXT");
        EXPECT_EQ(log.find("Ghostscript"), std::string::npos) << log;
    }
}

// ---------------------------------------------------------------------------------------------
// Names

// Ghostscript reads the output through a descriptor, so a name that it would take for a pipe,
// an option or text in another encoding is only ever the name of the files beside it.
TEST_F(Leash, NamesNeverReachGhostscript) {
    // clang-format off
    const struct { const char* what; std::string stem; } rows[] = {
        {"a Latin-1 byte", "caf\xe9"},
        {"a pipe to a shell", "%pipe%touch pwned"},
        {"an output file of its own", "-sOutputFile=x"},
        {"its safety switched off", "-dNOSAFER"},
    };
    // clang-format on
    int n = 0;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        const std::string folder = dir_.file("names" + std::to_string(++n)),
                          name = row.stem + ".P01";
        std::filesystem::create_directory(folder);
        writeFile(folder + "/" + name, board());
        // Relative, as the converter takes it: a name with a leading dash after "--".
        const int status =
            finish(start({"--print", "--verify", "--pdf", "--preview", "--", name}, folder));
        ASSERT_EQ(status, 0) << said();
        const std::string stem = folder + "/" + row.stem + "_E01";
        EXPECT_TRUE(readFile(stem + ".pdf").starts_with("%PDF-"));
        EXPECT_TRUE(readFile(stem + ".png").starts_with("\x89PNG\r\n\x1a\n"));
        const Names made{name, row.stem + "_E01.ps", row.stem + "_E01_log.TXT",
                         row.stem + "_E01.pdf", row.stem + "_E01.png"};
        EXPECT_EQ(entriesOf(folder), made);
        EXPECT_EQ(entriesOf(tmp_), Names{});
    }
}

}  // namespace
}  // namespace zarn::gs
