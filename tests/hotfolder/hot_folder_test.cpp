// The hot folder from outside: the watcher runs as a child in a folder of its own, is fed files
// as a print server or a user drops them, and is stopped, killed and started again.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/capability.h>
#include <poll.h>
#include <signal.h>
#include <sys/inotify.h>
#include <sys/mount.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "process.h"
#include "test_support.h"

namespace zarn::hotfolder {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using Names = std::set<std::string>;
using testing::readFile;
using testing::writeFile;

const std::string& sample() {
    static const std::string bytes = readFile(ZARN_SAMPLE);
    return bytes;
}
const std::string kNotPrint = "not a print file\r\n";

std::string generated(const std::string& path, int seed, int size) {
    const auto r = testing::run(
        {ZARN_GENERATOR, "--seed=" + std::to_string(seed), "--size=" + std::to_string(size), path});
    EXPECT_EQ(r.status, 0) << r.err;
    return readFile(path);
}

// The .ps a plain conversion makes of `bytes` as X.Pnn.
std::string converted(const std::string& bytes, const std::string& nn = "01") {
    const testing::ScratchDir d;
    writeFile(d.file("X.P" + nn), bytes);
    const auto r = testing::run({ZARN_CONVERTER, "--no-settings", "-q", d.file("X.P" + nn)});
    EXPECT_EQ(r.status, 0) << r.err;
    return testing::fileExists(d.file("X_E" + nn + ".ps")) ? readFile(d.file("X_E" + nn + ".ps"))
                                                           : "";
}

bool until(const std::function<bool()>& done, std::chrono::seconds within = 30s) {
    for (const auto end = Clock::now() + within; !done(); std::this_thread::sleep_for(10ms))
        if (Clock::now() > end) return false;
    return true;
}

// Every entry below `folder`, as a path relative to it; what moves while it is read may be
// missed.
Names tree(const std::string& folder, bool deep = true) {
    Names names;
    std::error_code ec;
    for (fs::recursive_directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        names.insert(it->path().string().substr(folder.size() + 1));
        if (!deep) it.disable_recursion_pending();
    }
    return names;
}

bool isInput(const std::string& path) {
    const std::string ext = fs::path(path).extension().string();
    return ext.size() == 4 && ext[1] == 'P' && isdigit(ext[2]) && isdigit(ext[3]);
}

// How often each input lies below `folder`.
std::map<std::string, int> inputsBelow(const std::string& folder) {
    std::map<std::string, int> count;
    for (const std::string& path : tree(folder))
        if (isInput(path)) ++count[fs::path(path).filename().string()];
    return count;
}

Names lines(const std::string& text) {
    Names all;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) all.insert(line);
    return all;
}

// The names that moved into a folder, in their order.
class Arrivals {
public:
    explicit Arrivals(const std::string& folder) : fd_(::inotify_init1(IN_CLOEXEC)) {
        ::inotify_add_watch(fd_, folder.c_str(), IN_MOVED_TO);
    }
    ~Arrivals() { ::close(fd_); }
    // What arrived since the last call, waiting up to `wait` for the first.
    std::vector<std::string> next(std::chrono::milliseconds wait = 0ms) {
        std::vector<std::string> names;
        pollfd ready{fd_, POLLIN, 0};
        alignas(inotify_event) char buffer[16384];
        while (::poll(&ready, 1, names.empty() ? static_cast<int>(wait.count()) : 0) == 1) {
            const ssize_t n = ::read(fd_, buffer, sizeof buffer);
            for (ssize_t at = 0; at < n;) {
                const auto* e = reinterpret_cast<const inotify_event*>(buffer + at);
                if (e->len > 0) names.emplace_back(e->name);
                at += static_cast<ssize_t>(sizeof(inotify_event) + e->len);
            }
        }
        return names;
    }

private:
    int fd_;
};

// The converter as a child, its stdout and stderr into files. It is killed and reaped when the
// test is done with it, and by the kernel should the test end first.
class Child {
public:
    Child(const std::vector<std::string>& args, const std::string& out, const std::string& err,
          bool permissionsHold) {
        std::vector<char*> argv;
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        const pid_t parent = ::getpid();
        pid_ = ::fork();
        if (pid_ != 0) return;
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (::getppid() != parent) ::_exit(127);
        // Root reads any file; without these capabilities the permissions hold for it too.
        if (permissionsHold && (::prctl(PR_CAPBSET_DROP, CAP_DAC_OVERRIDE) != 0 ||
                                ::prctl(PR_CAPBSET_DROP, CAP_DAC_READ_SEARCH) != 0))
            ::_exit(126);
        const int o = ::open(out.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
        const int e = ::open(err.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
        if (o >= 0 && e >= 0 && ::dup2(o, 1) == 1 && ::dup2(e, 2) == 2)
            ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    ~Child() { kill(SIGKILL), exitStatus(); }
    pid_t pid() const { return pid_; }
    void kill(int signal) const {
        if (pid_ > 0) ::kill(pid_, signal);
    }
    // Its exit status; -1 when it ended otherwise or still ran after a minute (it is killed).
    int exitStatus() {
        for (const auto end = Clock::now() + 60s; pid_ > 0; std::this_thread::sleep_for(5ms)) {
            const pid_t r = ::waitpid(pid_, &status_, WNOHANG);
            if (r == pid_ || (r < 0 && errno != EINTR)) pid_ = 0;
            if (r == 0 && Clock::now() > end) kill(SIGKILL);
        }
        return WIFEXITED(status_) ? WEXITSTATUS(status_) : -1;
    }

private:
    pid_t pid_ = 0;
    int status_ = -1;
};

class HotFolder : public ::testing::Test {
protected:
    void SetUp() override { fs::create_directories(dir_ + "/done"); }
    void TearDown() override {
        watchers_.clear();
        if (mounted_) ::umount2((dir_ + "/done").c_str(), MNT_DETACH);
    }

    Child& watch(bool permissionsHold = false) {
        const std::string n = std::to_string(watchers_.size());
        watchers_.push_back(std::make_unique<Child>(
            std::vector<std::string>{ZARN_CONVERTER, "--no-settings", "--watch", dir_,
                                     "--settle=0.2", "-j", "2"},
            scratch_.file("out" + n), scratch_.file("err" + n), permissionsHold));
        return *watchers_.back();
    }
    std::string said(const std::string& what, std::size_t watcher = 0) const {
        const std::string path = scratch_.file(what + std::to_string(watcher));
        return testing::fileExists(path) ? readFile(path) : "";
    }
    // Written beside the folder and moved in, whole at once.
    void drop(const std::string& name, const std::string& bytes) {
        writeFile(scratch_.file(name), bytes);
        fs::rename(scratch_.file(name), dir_ + "/" + name);
    }
    // Nothing waits in the folder or in .work. A watcher killed while it made a claim leaves its
    // empty folder (.work/.new-*) for a later start to find a minute old.
    bool empty() const {
        Names work = tree(dir_ + "/.work");
        std::erase_if(work, [&](const std::string& n) { return making(dir_ + "/.work/" + n); });
        return tree(dir_, false) == Names{".work", "done", "error"} &&
               work == Names{".publish.lock"};
    }
    static bool making(const std::string& path) {
        return fs::path(path).filename().string().starts_with(".new-") && fs::is_empty(path);
    }

    testing::ScratchDir scratch_;
    const std::string dir_ = scratch_.file("hot");
    std::vector<std::unique_ptr<Child>> watchers_;
    bool mounted_ = false;
};

TEST_F(HotFolder, TakesFilesOnlyWhenCompleteAndSortsThemOut) {
    writeFile(dir_ + "/GOOD.P01", sample());
    writeFile(dir_ + "/BAD.P02", kNotPrint);
    Arrivals arrivals(dir_ + "/done");
    watch();
    // Written in pieces, open all the while, with pauses longer than the settle period.
    const int fd = ::open((dir_ + "/SLOW.P03").c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
    for (std::size_t at = 0, piece = sample().size() / 4 + 1; at < sample().size(); at += piece) {
        const std::string part = sample().substr(at, piece);
        ASSERT_EQ(::write(fd, part.data(), part.size()), static_cast<ssize_t>(part.size()));
        std::this_thread::sleep_for(500ms);
        EXPECT_TRUE(testing::fileExists(dir_ + "/SLOW.P03")) << "taken while written";
    }
    ::close(fd);
    ASSERT_TRUE(until([&] { return lines(said("out")).size() == 3 && empty(); }));
    EXPECT_EQ(tree(dir_ + "/done"), (Names{"GOOD.P01", "GOOD_E01.ps", "GOOD_E01_log.TXT",
                                           "SLOW.P03", "SLOW_E03.ps", "SLOW_E03_log.TXT"}));
    EXPECT_EQ(tree(dir_ + "/error"), (Names{"BAD.P02", "BAD.P02.error.txt", "BAD_E02_log.TXT"}));
    EXPECT_TRUE(readFile(dir_ + "/done/SLOW_E03.ps") == converted(sample(), "03"));
    const Names out = lines(said("out"));
    EXPECT_TRUE(out.contains("done: GOOD.P01 -> done") && out.contains("done: SLOW.P03 -> done"));
    EXPECT_TRUE(out.rbegin()->starts_with("error: BAD.P02 -> error: ")) << said("out");
    // The input last: whoever takes it from done/ finds its set complete.
    const std::vector<std::string> order = arrivals.next();
    for (auto it = order.begin(); it != order.end(); ++it) {
        if (!isInput(*it)) continue;
        const std::string set = it->substr(0, it->find('.')) + "_E";  // its output and its log
        EXPECT_EQ(std::count_if(order.begin(), it, [&](auto& n) { return n.starts_with(set); }), 2)
            << *it << " came before its output";
    }
}

TEST_F(HotFolder, SameNameAgainGoesToTheNextNumberedFolder) {
    watch();
    drop("BOARD.P01", sample());
    ASSERT_TRUE(until([&] { return said("out") == "done: BOARD.P01 -> done\n"; }));
    drop("BOARD.P01", sample());
    ASSERT_TRUE(until([&] { return lines(said("out")).contains("done: BOARD.P01 -> done/2"); }));
    EXPECT_EQ(tree(dir_ + "/done"),
              (Names{"BOARD.P01", "BOARD_E01.ps", "BOARD_E01_log.TXT", "2", "2/BOARD.P01",
                     "2/BOARD_E01.ps", "2/BOARD_E01_log.TXT"}));
}

TEST_F(HotFolder, UnreadableFileGoesToErrorWithItsReason) {
    writeFile(dir_ + "/LOCKED.P01", sample());
    fs::permissions(dir_ + "/LOCKED.P01", fs::perms::none);
    watch(::geteuid() == 0);
    ASSERT_TRUE(until([&] { return !said("out").empty() && empty(); })) << said("err");
    EXPECT_TRUE(said("out").starts_with("error: LOCKED.P01 -> error: ")) << said("out");
    EXPECT_TRUE(tree(dir_ + "/error").contains("LOCKED.P01.error.txt"));
    EXPECT_TRUE(tree(dir_ + "/error").contains("LOCKED.P01"));
}

TEST_F(HotFolder, FullDiskLeavesTheInputInTheFolderUntilThereIsRoom) {
    const std::string done = dir_ + "/done";
    if (::geteuid() != 0) GTEST_SKIP() << "a small file system for done/ takes root to mount";
    if (::mount("tmpfs", done.c_str(), "tmpfs", 0, "size=256k") != 0)
        GTEST_SKIP() << "cannot mount a file system on done/: " << std::strerror(errno);
    mounted_ = true;
    testing::run({"dd", "if=/dev/zero", "of=" + done + "/FILLER", "bs=4k"});  // until it is full
    watch();
    drop("BOARD.P01", sample());
    ASSERT_TRUE(
        until([&] { return said("err").find("BOARD.P01: the disk") != std::string::npos; }));
    EXPECT_TRUE(testing::fileExists(dir_ + "/BOARD.P01"));
    EXPECT_EQ(tree(done), Names{"FILLER"});
    fs::remove(done + "/FILLER");
    ASSERT_TRUE(until([&] { return said("out") == "done: BOARD.P01 -> done\n" && empty(); }));
    EXPECT_EQ(tree(done), (Names{"BOARD.P01", "BOARD_E01.ps", "BOARD_E01_log.TXT"}));
}

TEST_F(HotFolder, TwoWatchersConvertEachFileOnce) {
    constexpr int kFiles = 100;
    watch(), watch();
    Names expected;
    for (int i = 0; i < kFiles; ++i) {
        const std::string name = std::string("T").append(std::to_string(100 + i)).append(".P01");
        drop(name, sample());
        expected.insert("done: " + name + " -> done");
    }
    ASSERT_TRUE(until([&] { return inputsBelow(dir_ + "/done").size() == kFiles && empty(); }));
    for (auto& w : watchers_) {
        w->kill(SIGTERM);
        EXPECT_EQ(w->exitStatus(), 0);
    }
    const std::string out = said("out", 0) + said("out", 1);
    EXPECT_EQ(lines(out), expected);
    EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), kFiles);
}

// What the watcher holds does not grow with the files it has done.
TEST_F(HotFolder, StaysWithin16MiBAfterAThousandFiles) {
    if (ZARN_SANITIZED) GTEST_SKIP() << "a sanitizer's own memory would be counted";
    constexpr int kFiles = 1000;
    writeFile(scratch_.file("BOARD.P01"), sample());
    for (int i = 0; i < kFiles; ++i)
        fs::create_hard_link(scratch_.file("BOARD.P01"), dir_ + "/M" + std::to_string(i) + ".P01");
    Child& w = watch();
    ASSERT_TRUE(
        until([&] { return inputsBelow(dir_ + "/done").size() == kFiles && empty(); }, 120s));
    const std::string status = readFile("/proc/" + std::to_string(w.pid()) + "/status");
    const std::size_t peak = status.find("\nVmHWM:");
    ASSERT_NE(peak, std::string::npos) << status;
    EXPECT_LE(std::stol(status.substr(peak + 7)), 16 * 1024) << status.substr(peak, 30);
}

// Killed the moment a file arrives in done/, most often while the rest of its set is still on
// its way, three times; then started once more.
TEST_F(HotFolder, KilledAndStartedAgainDoesEveryFileOnce) {
    constexpr int kFiles = 300, kBoards = 4;
    std::vector<std::string> boards, outputs;
    for (int seed = 1; seed <= kBoards; ++seed) {
        boards.push_back(generated(scratch_.file("board.P01"), seed, 60000));
        outputs.push_back(converted(boards.back()));
    }
    for (int i = 0; i < kFiles; ++i)
        writeFile(dir_ + "/F" + std::to_string(1000 + i) + ".P01", boards[i % kBoards]);
    Arrivals arrivals(dir_ + "/done");
    int inputs = 0;
    for (int round = 1; round <= 3; ++round) {
        Child& w = watch();
        for (bool armed = false; !armed;) {
            armed = inputs >= round * kFiles / 5;
            const std::vector<std::string> names = arrivals.next(30s);
            ASSERT_FALSE(names.empty()) << "nothing arrives in done/";
            for (const std::string& name : names) inputs += isInput(name);
        }
        w.kill(SIGKILL);
        w.exitStatus();
    }
    Child& last = watch();
    ASSERT_TRUE(until([&] { return inputsBelow(dir_ + "/done").size() == kFiles && empty(); }));
    last.kill(SIGTERM);
    EXPECT_EQ(last.exitStatus(), 0);
    for (const auto& [name, count] : inputsBelow(dir_ + "/done")) EXPECT_EQ(count, 1) << name;
    // Complete sets only, and nothing hidden or half-written anywhere.
    int files = 0;
    for (const std::string& path : tree(dir_)) {
        EXPECT_TRUE(!fs::path(path).filename().string().starts_with('.') || path == ".work" ||
                    path == ".work/.publish.lock" || making(dir_ + "/" + path))
            << path;
        files += fs::is_regular_file(dir_ + "/" + path);
        if (!isInput(path)) continue;
        const std::string stem = path.substr(0, path.size() - 4);
        const int i = std::stoi(stem.substr(stem.size() - 4)) - 1000;
        EXPECT_TRUE(readFile(dir_ + "/" + stem + "_E01.ps") == outputs[i % kBoards]) << path;
    }
    EXPECT_EQ(files, 3 * kFiles + 1);
}

struct Stop {
    const char* name;
    int signal, times;
};
void PrintTo(const Stop& stop, std::ostream* os) { *os << stop.name; }
class Stopping : public HotFolder, public ::testing::WithParamInterface<Stop> {};

// Once: the running conversion finishes and no new file is taken. Twice: it is abandoned, and
// done at the next start.
TEST_P(Stopping, LosesNothing) {
    const Stop stop = GetParam();
    generated(dir_ + "/BIG.P01", 5, 40'000'000);
    Child& w = watch();
    ASSERT_TRUE(until([&] { return !testing::fileExists(dir_ + "/BIG.P01"); }));
    drop("LATE.P01", sample());
    w.kill(stop.signal);
    if (stop.times == 2) {
        ASSERT_TRUE(until([&] { return !said("err").empty(); }));
        w.kill(stop.signal);
    }
    EXPECT_EQ(w.exitStatus(), 0) << said("err");
    EXPECT_EQ(said("out"), stop.times == 1 ? "done: BIG.P01 -> done\n" : "");
    EXPECT_EQ(inputsBelow(dir_ + "/done").size(), stop.times == 1 ? 1u : 0u);
    EXPECT_TRUE(testing::fileExists(dir_ + "/LATE.P01"));
    watch();
    ASSERT_TRUE(until([&] { return inputsBelow(dir_ + "/done").size() == 2 && empty(); }));
}

INSTANTIATE_TEST_SUITE_P(Signals, Stopping,
                         ::testing::Values(Stop{"SIGTERM", SIGTERM, 1}, Stop{"SIGINT", SIGINT, 1},
                                           Stop{"SIGTERM_twice", SIGTERM, 2}),
                         [](const auto& info) { return std::string(info.param.name); });

// FILEs converted at once: the same lines, the same status and the same files as one by one.
struct Batch {
    const char* name;
    std::vector<std::string> args;  // a name without a dash is a file of the folder
};
void PrintTo(const Batch& batch, std::ostream* os) { *os << batch.name; }
class Jobs : public ::testing::TestWithParam<Batch> {};

TEST_P(Jobs, SameAsOneAtATime) {
    const testing::ScratchDir dir;
    for (const char* name : {"A.P01", "B.P03", "C.P04"}) writeFile(dir.file(name), sample());
    writeFile(dir.file("BAD.P02"), kNotPrint);
    const Names inputs = tree(dir.path());
    // Status, stdout, stderr and the files written, with their bytes.
    std::vector<std::tuple<int, std::string, std::string, std::map<std::string, std::string>>> runs;
    for (const char* jobs : {"1", "2"}) {
        std::vector<std::string> argv{ZARN_CONVERTER, "--no-settings", "-j", jobs};
        for (const std::string& a : GetParam().args)
            argv.push_back(a.starts_with('-') ? a : dir.file(a));
        const testing::RunResult r = testing::run(argv);
        std::map<std::string, std::string> files;
        for (const std::string& name : tree(dir.path()))
            if (!inputs.contains(name))
                files[name] = readFile(dir.file(name)), fs::remove(dir.file(name));
        runs.emplace_back(r.status, r.out, r.err, files);
    }
    EXPECT_EQ(runs[0], runs[1]);
}

INSTANTIATE_TEST_SUITE_P(
    Batches, Jobs,
    ::testing::Values(Batch{"mixed", {"A.P01", "BAD.P02", "B.P03", "C.P04"}},
                      Batch{"json", {"--json", "C.P04", "BAD.P02", "A.P01", "B.P03"}},
                      Batch{"one_output_twice", {"A.P01", "B.P03", "./A.P01", "C.P04"}}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace zarn::hotfolder
