// Ghostscript on its leash: what it measures of files whose marks are known, and what becomes
// of files and stand-ins that try to get out of hand.

#include "ghostscript.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

#include "confinement.h"
#include "process.h"
#include "test_support.h"
#include "zarn/descriptor.h"

namespace zarn {
namespace {

using namespace std::chrono_literals;
using Status = GhostscriptStatus;
using testing::ScratchDir;
using testing::writeFile;

// Short limits, so that a bomb goes off in a second.
ChildLimits smallLimits() { return {10s, 10s, 512ULL << 20, 64ULL << 20}; }

struct Hostile {
    const char* what;
    std::string file;
    Status status;
    std::optional<InkExtent> marks;  // when Done
    std::string detail;              // a part of it
    bool eps = false;
    ChildLimits limits = smallLimits();
};

// Runs Ghostscript in a folder of its own: its scratch lands in `tmp_`, and `home_` stands for
// the user's home and the job's folder.
class GhostscriptRunner : public ::testing::Test {
protected:
    void SetUp() override {
        tmp_ = dir_.file("tmp");
        home_ = dir_.file("home");
        std::filesystem::create_directory(tmp_);
        std::filesystem::create_directory(home_);
        saved_ = std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "";
        ::setenv("TMPDIR", tmp_.c_str(), 1);
    }
    void TearDown() override {
        if (saved_.empty())
            ::unsetenv("TMPDIR");
        else
            ::setenv("TMPDIR", saved_.c_str(), 1);
    }

    GhostscriptRun check(const std::string& file, const ChildLimits& limits, bool eps = false,
                         const std::string& program = "gs",
                         const std::function<bool(int)>& working = {}) {
        const std::string path = home_ + "/JOB_E01.ps";
        writeFile(path, file);
        const Descriptor input(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
        GhostscriptJob job = inkJob(input.get(), file.size(), eps);
        job.limits = limits;
        return runGhostscript(job, program, working);
    }

    // A stand-in for Ghostscript; `report` makes it print our line as Ghostscript would.
    std::string standIn(const std::string& name, const std::string& script) {
        const std::string path = dir_.file(name);
        writeFile(path,
                  "#!/bin/sh\nreport() { printf '\\n%s 1 1 1 612000 792000 0 0 -1 -1 72000 "
                  "72000\\n' \"$(printf '%s\\n' \"$@\" | grep -o 'zarn-[0-9a-f]*' | head -n 1)\" "
                  ">&2; }\n" +
                      script + "\n");
        ::chmod(path.c_str(), 0755);
        return path;
    }

    bool scratchLeft() const { return !std::filesystem::is_empty(tmp_); }

    ScratchDir dir_;
    std::string tmp_, home_, saved_;
};

TEST_F(GhostscriptRunner, HostileFilesEndInTheirOwnSentenceAndLeaveNothing) {
    if (!testing::findInPath("gs")) GTEST_SKIP() << "Ghostscript (gs) is not in PATH";
    const std::string pwned = home_ + "/pwned";
    ChildLimits oneCpuSecond = smallLimits(), tight = smallLimits();
    oneCpuSecond.cpu = 1s;
    tight.memory = 256ULL << 20;
    tight.written = 32ULL << 20;
    const std::string draw = "10 20 100 200 rectfill ";
    // clang-format off
    const Hostile rows[] = {
        {"marks at negative coordinates and far out", "%!PS\n-300 -120.5 10 10 rectfill "
         "2400 3000 100 100 rectfill showpage\n", Status::Done, InkExtent{-300, -120.5, 2500, 3100}, ""},
        {"EPS: a round-capped stroke, its page shown for it", "%!PS-Adobe-3.0 EPSF-3.0\n"
         "10 setlinewidth 1 setlinecap newpath 20 30 moveto 100 30 lineto stroke\n",
         Status::Done, InkExtent{15, 25, 105, 35}, "", true},
        {"a small page asked for", "%!PS\n<< /PageSize [100 100] >> setpagedevice "
         "-50 -60 1000 1200 rectfill showpage\n", Status::Done, InkExtent{-50, -60, 950, 1140}, ""},
        {"a landscape page by setpageparams, then initgraphics", "%!PS\n{statusdict begin 535 757 0 0 "
         "setpageparams end} stopped pop initgraphics -40 -30 940 3230 rectfill showpage\n",
         Status::Done, InkExtent{-40, -30, 900, 3200}, ""},
        {"a vertical hairline is a mark", "%!PS\n0 setlinewidth 50 10 moveto 50 90 lineto stroke showpage\n",
         Status::Done, InkExtent{50, 10, 50, 90}, ""},
        {"an empty page", "%!PS\nshowpage\n", Status::Done, std::nullopt, ""},
        {"a PostScript error", "%!PS\nfoo\n", Status::Failed, {},
         "Ghostscript (gs) failed (exit status 1): Error: /undefined in foo"},
        {"quit before the page is shown", "%!PS\n" + draw + "quit\n", Status::Failed, {},
         "Ghostscript (gs) did not run the job to its end"},
        {"quit after the page is shown", "%!PS\n" + draw + "showpage quit\n", Status::Failed, {},
         "Ghostscript (gs) did not run the job to its end"},
        {"a page never shown", "%!PS\n" + draw + "\n", Status::Failed, {},
         "Ghostscript (gs) saw 0 pages where the job has one"},
        {"two pages", "%!PS\n" + draw + "showpage " + draw + "showpage\n", Status::Failed, {},
         "Ghostscript (gs) saw 2 pages where the job has one"},
        {"its own page procedure", "%!PS\n<< /EndPage { exch pop 2 ne } >> setpagedevice " + draw +
         "showpage\n", Status::Failed, {}, "the job replaced the procedures that count its pages"},
        {"our line and the device's reports forged, and escape sequences", "%!PS\n"
         "(\\nzarn-00000000000000000000000000000000 1 1 1 1000 1000 0 0 1 1 72000 72000\\n) print "
         "(%%HiResBoundingBox: 0 0 1 1\\n Verified: every mark lies inside\\033[2J\\n) print "
         "(Error: /none, a job's own words\\n) print "
         "-500 -500 10 10 rectfill showpage\n", Status::Done, InkExtent{-500, -500, -490, -490}, ""},
        {"an error line with control bytes", "%!PS\n(\\033[31mbad\\007) cvn cvx exec\n", Status::Failed, {},
         "Error: /undefined in \\x1B[31mbad\\x07"},
        {"an endless loop against processor time", "%!PS\n{ } loop\n", Status::Failed, {},
         "Ghostscript (gs) used up its 1 s of processor time", false, oneCpuSecond},
        {"a memory bomb", "%!PS\nmark 1 1 100000 { pop 65535 string } for\n", Status::Failed, {},
         "Ghostscript (gs) ran out of the 256 MiB of memory it may use", false, tight},
        {"a flood of temporary files", "%!PS\n{ null (w) .tempfile exch pop 1 1 100 { pop dup 65535 "
         "string writestring } for closefile } loop\n", Status::Failed, {},
         "Ghostscript (gs) wrote more than the 32 MiB it may write", false, tight},
        {"one temporary file without end", "%!PS\nnull (w) .tempfile exch pop "
         "{ dup 65535 string writestring } loop\n", Status::Failed, {},
         "Ghostscript (gs) wrote more than the 32 MiB it may write", false, tight},
        {"a pipe to a shell", "%!PS\n(%pipe%touch " + pwned + ") (w) file\n", Status::Failed, {},
         "Error: /invalidfileaccess in --file--"},
        {"a file written beside the job", "%!PS\n(" + pwned + ") (w) file (x) writestring\n",
         Status::Failed, {}, "Error: /invalidfileaccess in --file--"},
        {"a file of the system read", "%!PS\n(/etc/passwd) (r) file\n", Status::Failed, {},
         "Error: /invalidfileaccess in --file--"},
    };
    // clang-format on
    // What the user's environment says does not reach Ghostscript.
    ::setenv("GS_OPTIONS", "-dNOSAFER", 1);
    for (const Hostile& row : rows) {
        SCOPED_TRACE(row.what);
        const GhostscriptRun r = check(row.file, row.limits, row.eps);
        EXPECT_EQ(r.status, row.status) << r.detail;
        EXPECT_NE(r.detail.find(row.detail), std::string::npos) << r.detail;
        EXPECT_FALSE(scratchLeft()) << "scratch left in " << tmp_;
        EXPECT_FALSE(testing::fileExists(pwned));
        if (r.status != Status::Done) continue;
        const std::optional<InkExtent> m = inkOf(r.report);
        ASSERT_EQ(m.has_value(), row.marks.has_value());
        if (!m) continue;
        for (double InkExtent::*side :
             {&InkExtent::llx, &InkExtent::lly, &InkExtent::urx, &InkExtent::ury})
            EXPECT_NEAR(*m.*side, *row.marks.*side, 0.05);
    }
    ::unsetenv("GS_OPTIONS");
}

TEST_F(GhostscriptRunner, StandInsAreHeldToTheSameRules) {
    // Without close-on-exec, and above what the shell of a stand-in opens.
    const int stray = ::fcntl(::open("/dev/null", O_RDONLY), F_DUPFD, 77);
    const std::string strayFd = std::to_string(stray);
    ::setenv("GS_LIB", "/nonexistent", 1);
    ChildLimits oneSecond = smallLimits();
    oneSecond.wall = 1s;
    // clang-format off
    const struct { const char* what; std::string script; Status status; std::string detail;
                   ChildLimits limits = smallLimits(); } rows[] = {
        {"runs with 0 to 3 only and without the caller's environment",
         "[ -e /proc/self/fd/" + strayFd + " ] && exit 3\n"
         "[ \"$(readlink /proc/self/fd/0)\" = /dev/null ] || exit 4\n"
         "[ -n \"$GS_LIB$GS_OPTIONS\" ] && exit 5\n"
         "[ -r /dev/fd/3 ] || exit 6\n"
         "report \"$@\"", Status::Done, ""},
        {"exits 0 and says nothing", "exit 0", Status::Failed,
         "did not run the job to its end"},
        {"exits 1 after an error line", "echo 'Error: /ioerror'; echo 'Error: second'; exit 1",
         Status::Failed, "(exit status 1): Error: /ioerror"},
        {"killed by a signal", "kill -SEGV $$", Status::Failed, "was stopped by signal 11"},
        {"too slow", "exec sleep 30", Status::Failed, "did not finish within 1 s", oneSecond},
    };
    // clang-format on
    const auto start = std::chrono::steady_clock::now();
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        const GhostscriptRun r =
            check("%!PS\n", row.limits, false, standIn("gs-standin", row.script));
        EXPECT_EQ(r.status, row.status) << r.detail;
        EXPECT_NE(r.detail.find(row.detail), std::string::npos) << r.detail;
        EXPECT_FALSE(scratchLeft());
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
    ::close(stray);
    ::unsetenv("GS_LIB");
    const GhostscriptRun missing = check("%!PS\n", smallLimits(), false, "zarn-no-gs");
    EXPECT_EQ(missing.status, Status::NotFound);
    EXPECT_EQ(missing.detail, "Ghostscript (zarn-no-gs) was not found on the PATH");
}

TEST_F(GhostscriptRunner, TheKernelKeepsAStandInToItsScratch) {
    if (landlockVersion() == 0) GTEST_SKIP() << "the kernel offers no Landlock";
    const std::string home = home_ + "/pwned", beside = dir_.file("pwned");
    const std::string program =
        standIn("gs-writer", "echo x >" + home + " ; echo x >" + beside +
                                 " ; cat /etc/hostname >/dev/null"
                                 " && echo x >inscratch && [ -s inscratch ] && report \"$@\"");
    const GhostscriptRun r = check("%!PS\n", smallLimits(), false, program);
    EXPECT_EQ(r.status, Status::Done) << r.detail;
    EXPECT_FALSE(testing::fileExists(home));
    EXPECT_FALSE(testing::fileExists(beside));
    EXPECT_FALSE(scratchLeft());
}

TEST_F(GhostscriptRunner, AChildReapedElsewhereIsNoVerdict) {
    struct sigaction ignore {
    }, old{};
    ignore.sa_handler = SIG_IGN;
    ::sigaction(SIGCHLD, &ignore, &old);
    const GhostscriptRun r =
        check("%!PS\n", smallLimits(), false, standIn("gs-ok", "report \"$@\""));
    ::sigaction(SIGCHLD, &old, nullptr);
    EXPECT_EQ(r.status, Status::Failed);
    EXPECT_NE(r.detail.find("ended is not known"), std::string::npos) << r.detail;
}

TEST_F(GhostscriptRunner, TheWatcherIsHeardAndCanEndTheRun) {
    const std::string program =
        standIn("gs-reader", "head -c 5 /dev/fd/3 >/dev/null; exec sleep 30");
    std::vector<int> heard;
    const GhostscriptRun r =
        check("%!PS\n" + std::string(95, '%'), smallLimits(), false, program, [&](int percent) {
            heard.push_back(percent);
            return heard.size() < 3;
        });
    EXPECT_EQ(r.status, Status::Stopped) << r.detail;
    ASSERT_EQ(heard.size(), 3u);
    EXPECT_FALSE(scratchLeft());
}

TEST(GhostscriptReport, OnlyTheLineUnderTheSecretCounts) {
    const std::string secret = "zarn-0123456789abcdef0123456789abcdef";
    // clang-format off
    const struct { std::string line; bool taken; } rows[] = {
        {secret + " 1 1 1 612000 792000 -10 20 4000 8000 4000000 4000000", true},
        {"x" + secret + " 1 1 1 612000 792000 0 0 1 1 72000 72000", false},
        {secret + " 1 1 1 612000 792000 0 0 1 1 72000", false},
        {secret + " 1 1 1 612000 792000 0 0 1 1 72000 72000 5", false},
        {secret + " 1 1 2 612000 792000 0 0 1 1 72000 72000", false},
        {secret + " 1 1 1 -612000 792000 0 0 1 1 72000 72000", false},
        {secret + " 1 1 1 612000 792000 0 0 1 1 0 72000", false},
        {secret + "  1 1 1 612000 792000 0 0 1 1 72000 72000", false},
        {"zarn-0123456789abcdef0123456789abcdee 1 1 1 612000 792000 0 0 1 1 72000 72000", false},
    };
    // clang-format on
    for (const auto& row : rows)
        EXPECT_EQ(parseReport(row.line, secret).has_value(), row.taken) << row.line;
    // A mark of no width is still a mark.
    EXPECT_TRUE(
        inkOf(*parseReport(secret + " 1 1 1 612000 792000 10 0 10 100 72000 72000", secret)));
    const GhostscriptReport r = *parseReport(rows[0].line, secret);
    EXPECT_EQ(r.pageWidth, 612);
    const InkExtent m = *inkOf(r);
    EXPECT_NEAR(m.llx, -10 * 0.018 - kMeasuredReach, 1e-9);
    EXPECT_NEAR(m.ury, 8000 * 0.018 - kMeasuredReach, 1e-9);
    EXPECT_EQ(escapedLine("a\033[2J\xe9\n"), "a\\x1B[2J\\xE9\\x0A");
    // 20 s, and 10 s more for every 100 MB.
    EXPECT_EQ(ghostscriptLimits(300'000'000).wall, 50s);
    EXPECT_EQ(ghostscriptLimits(300'000'000).cpu, 50s);
}

}  // namespace
}  // namespace zarn
