// The Ghostscript runner against files whose marks are known, and against each way it fails.

#include "ghostscript.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <optional>
#include <string>

#include "process.h"
#include "test_support.h"

namespace zarn {
namespace {

using namespace std::chrono_literals;
using Status = InkMeasurement::Status;
using testing::ScratchDir;
using testing::writeFile;

struct Drawn {
    const char* what;
    std::string file;
    Status status;
    std::optional<InkExtent> marks;
    std::string detail;  // a part of it
};

// clang-format off
const Drawn kDrawn[] = {
    {"pages at negative coordinates and beyond 2000 pt, an empty one between",
     "%!PS\n-300 -120.5 10 10 rectfill showpage showpage 2400 3000 100 100 rectfill showpage\n",
     Status::Measured, InkExtent{-300, -120.5, 2500, 3100}, ""},
    {"EPS, a round-capped stroke, no showpage",
     "%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 0 0 10 10\n10 setlinewidth 1 setlinecap\n"
     "newpath 20 30 moveto 100 30 lineto stroke\n", Status::Measured, InkExtent{15, 25, 105, 35}, ""},
    {"a small PageSize asked for",
     "%!PS\n<< /PageSize [100 100] >> setpagedevice -50 -60 1000 1200 rectfill showpage\n",
     Status::Measured, InkExtent{-50, -60, 950, 1140}, ""},
    {"a landscape page by setpageparams, then initgraphics",
     "%!PS\n{statusdict begin 535 757 0 0 setpageparams end} stopped pop initgraphics\n"
     "-40 -30 940 3230 rectfill showpage\n", Status::Measured, InkExtent{-40, -30, 900, 3200}, ""},
    {"an empty page", "%!PS\nshowpage\n", Status::Measured, std::nullopt, ""},
    {"a PostScript error", "%!PS\nfoo\n", Status::Failed, std::nullopt, "Error: /undefined in foo"},
};
// clang-format on

// Runs in a scratch directory: names are relative there, and the file's looks like an option.
class GhostscriptRunner : public ::testing::Test {
protected:
    void SetUp() override { std::filesystem::current_path(dir_.path()); }
    void TearDown() override { std::filesystem::current_path(home_); }
    const std::filesystem::path home_ = std::filesystem::current_path();
    ScratchDir dir_;
};

TEST_F(GhostscriptRunner, FindsTheMarksWhereverTheFilePutsThem) {
    if (!testing::findInPath("gs")) GTEST_SKIP() << "Ghostscript (gs) is not in PATH";
    for (const Drawn& row : kDrawn) {
        SCOPED_TRACE(row.what);
        writeFile("-ink.ps", row.file);
        const InkMeasurement m = measureInk("-ink.ps");
        EXPECT_EQ(m.status, row.status) << m.detail;
        EXPECT_NE(m.detail.find(row.detail), std::string::npos) << m.detail;
        ASSERT_EQ(m.marks.has_value(), row.marks.has_value());
        if (!m.marks) continue;
        for (double InkExtent::*side :
             {&InkExtent::llx, &InkExtent::lly, &InkExtent::urx, &InkExtent::ury})
            EXPECT_NEAR(*m.marks.*side, *row.marks.*side, 0.5);
    }
}

// Stand-ins for Ghostscript; none means a name that is not on the PATH.
// clang-format off
const Drawn kChildren[] = {
    {"not on the PATH", "", Status::NotFound, {}, "(zarn-no-gs) was not found on the PATH"},
    {"only 0, 1 and 2 reach the child", "ls /proc/self/fd; exit 3", Status::Failed, {},
     "(exit status 3):\n0\n1\n2\n3\n"},
    {"an error printed", "echo Error: /ioerror", Status::Failed, {}, "(exit status 0):\nError: /ioerror\n"},
    {"too slow", "echo $$ >pid; exec sleep 30", Status::TimedOut, {}, "did not finish within 1 s"},
};
// clang-format on

TEST_F(GhostscriptRunner, SaysWhyWhenNoMeasurementComes) {
    writeFile("a.ps", "%!PS\n");
    const int stray = ::open("/dev/null", O_RDONLY);  // without close-on-exec
    const auto start = std::chrono::steady_clock::now();
    for (const Drawn& row : kChildren) {
        SCOPED_TRACE(row.what);
        std::string program = "zarn-no-gs";
        if (!row.file.empty()) {
            program = dir_.file(row.what);
            writeFile(program, "#!/bin/sh\n" + row.file + "\n");
            ::chmod(program.c_str(), 0755);
        }
        const InkMeasurement m =
            measureInk("a.ps", program, row.status == Status::TimedOut ? 1s : 10s);
        EXPECT_EQ(m.status, row.status) << m.detail;
        EXPECT_NE(m.detail.find(row.detail), std::string::npos) << m.detail;
    }
    ::close(stray);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
    // Killed at the limit and reaped: not even a zombie is left.
    EXPECT_NE(::kill(std::stoi(testing::readFile("pid")), 0), 0);
}

}  // namespace
}  // namespace zarn
