// The PDF and the preview beside a completed output, made by stand-ins for Ghostscript: one
// that makes what it was asked for (the argument vector as the file's content), and each way
// one fails or makes something else.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "test_support.h"

namespace zarn {
namespace {

using testing::fileExists;
using testing::readFile;
using testing::ScratchDir;

// The page it saw, as Ghostscript would report it: from the output's page line, or from the page
// it was given in EPS mode.
constexpr const char* kReport =
    "report() { secret=$(printf '%s\\n' \"$@\" | grep -o 'zarn-[0-9a-f]*' | head -n 1)\n"
    "  set -- $(printf '%s\\n' \"$@\" | sed -n 's/^-dDEVICE[WH][A-Z]*POINTS=//p')\n"
    "  [ $# = 2 ] || set -- $(grep -a setpageparams /dev/fd/3 | cut -d' ' -f3,4)\n"
    "  printf '\\n%s 1 1 1 %d %d 0 0 -1 -1 72000 72000\\n' \"$secret\" $(($1 * 1000)) "
    "$(($2 * 1000)) >&2; }\n";
constexpr const char* kFaithful =
    "printf '%%PDF-1.4\\n'; for a; do printf '%s\\n' \"$a\"; done; printf '%%%%EOF\\n'; "
    "report \"$@\"";

enum class Older { Plain, HardLinkToInput, SymbolicLink, Locked };

struct Case {
    const char* what;
    const char* gs;  // the stand-in's script; none: no gs on the PATH
    bool eps;
    bool pdf;
    int preview;
    DropOutcome outcome;
    std::vector<std::string> pdfHas;  // lines of the PDF, in order
    const char* says;                 // a part of the message
    const char* farPoint = nullptr;   // a drawing line that widens the page
    Older older = Older::Plain;
    bool noMargins = false;
};

// clang-format off
const Case kCases[] = {
    {"print mode", kFaithful, false, true, 0, DropOutcome::Completed,
     {"%PDF-1.4", "-dSAFER", "-dBATCH", "-dNOPAUSE", "-q", "-sstdout=%stderr",
      "--permit-file-read=/dev/fd/3", "-sDEVICE=pdfwrite", "-dAutoRotatePages=/None",
      "-sOutputFile=%stdout", "-c"}, ""},
    {"EPS mode: the page is the box", kFaithful, true, true, 0, DropOutcome::Completed,
     {"-dDEVICEWIDTHPOINTS=43", "-dDEVICEHEIGHTPOINTS=28", "-dFIXEDMEDIA", "-sOutputFile=%stdout"}, ""},
    {"a hard link to the input is not written through", kFaithful, false, true, 0,
     DropOutcome::Completed, {"%PDF-1.4"}, "", nullptr, Older::HardLinkToInput},
    {"a symbolic link is not followed", kFaithful, false, true, 0, DropOutcome::ErrorExit, {},
     "the PDF @/BOARD_E01.pdf is a symbolic link, which is not followed; it was left as it was",
     nullptr, Older::SymbolicLink},
    {"another conversion holds it", kFaithful, false, true, 0, DropOutcome::ErrorExit, {},
     "the PDF @/BOARD_E01.pdf is being written by another conversion", nullptr, Older::Locked},
    {"a failure", "echo Error: /undefined in boom >&2; echo part; exit 1", false, true, 0,
     DropOutcome::ErrorExit, {}, "the PDF @/BOARD_E01.pdf was not written: Ghostscript (gs) failed "
     "(exit status 1): Error: /undefined in boom"},
    {"a page of another size", "report() { printf '\\n%s 1 1 1 1000 1000 0 0 -1 -1 72000 72000\\n' "
     "\"$(printf '%s\\n' \"$@\" | grep -o 'zarn-[0-9a-f]*' | head -n 1)\" >&2; }; printf '%%PDF-\\n"
     "%%%%EOF\\n'; report \"$@\"", false, true, 0, DropOutcome::ErrorExit, {},
     "was not written: Ghostscript made a page of 1 x 1 pt, not the 43 x 28 pt asked for"},
    {"no PDF made", "echo not a pdf; report \"$@\"", false, true, 0, DropOutcome::ErrorExit, {},
     "the PDF @/BOARD_E01.pdf was not written: what Ghostscript wrote is no complete PDF"},
    {"no PNG made", "report \"$@\"", false, false, 100, DropOutcome::ErrorExit, {},
     "the preview @/BOARD_E01.png was not written: what Ghostscript wrote is no complete PNG"},
    {"no gs", nullptr, false, false, 100, DropOutcome::ErrorExit, {},
     "the preview @/BOARD_E01.png was not written: Ghostscript (gs) was not found on the PATH"},
    {"a box of no height", "echo ran >&2; exit 1", true, true, 0, DropOutcome::ErrorExit, {},
     "the PDF @/BOARD_E01.pdf was not written: the box is 1 x 0 pt, and a page needs a width and a height",
     nullptr, Older::Plain, true},
    {"a page too large in one direction", "echo ran >&2; exit 1", false, false, 100, DropOutcome::ErrorExit,
     {}, "the preview @/BOARD_E01.png was not written: the page is 562543 x 28 pt, more than the "
     "14400 pt (200 inches) a side that is rendered", "9999999 0 l"},
    {"a box too large for a PDF", "echo ran >&2; exit 1", true, true, 0, DropOutcome::ErrorExit,
     {}, "the PDF @/BOARD_E01.pdf was not written: the box is 16918 x 16903 pt", "300000 300000 l"},
    {"too many pixels for a preview", "echo ran >&2; exit 1", false, false, 600, DropOutcome::ErrorExit,
     {}, "the preview @/BOARD_E01.png was not written: at 600 dpi the page would be 94108 x "
     "93983 pixels, more than the 200 million a preview may have", "200000 200000 l"},
};
// clang-format on

std::string expand(std::string text, const std::string& dir) {
    if (const std::size_t at = text.find('@'); at != std::string::npos) text.replace(at, 1, dir);
    return text;
}

// Each of `lines` is a line of `file`, in that order.
void expectLinesInOrder(const std::string& file, const std::vector<std::string>& lines) {
    std::size_t from = 0;
    for (const std::string& line : lines) {
        const std::size_t at = file.find(line + "\n", from);
        ASSERT_NE(at, std::string::npos) << line << " in\n" << file;
        from = at + line.size();
    }
}

class Renderings : public ::testing::Test {
protected:
    void SetUp() override { path_ = std::getenv("PATH"); }
    void TearDown() override { ::setenv("PATH", path_.c_str(), 1); }

    // The stand-in is the only gs on the PATH; the tools it uses stay reachable.
    void useGs(const char* script) {
        const std::string bin = dir_.file("bin");
        ::mkdir(bin.c_str(), 0755);
        ::unlink((bin + "/gs").c_str());
        if (script != nullptr) {
            testing::writeFile(bin + "/gs", std::string("#!/bin/sh\n") + kReport + script + "\n");
            ::chmod((bin + "/gs").c_str(), 0755);
        }
        ::setenv("PATH", (bin + ":/usr/bin:/bin").c_str(), 1);
        if (script == nullptr) ::setenv("PATH", bin.c_str(), 1);
    }

    // The file of the rendering's name before the conversion, as the case wants it.
    int prepareOlder(const std::string& name, Older older) {
        const std::string path = dir_.file(name);
        ::unlink(path.c_str());
        switch (older) {
            case Older::Plain:
            case Older::Locked: testing::writeFile(path, "an older one\n"); break;
            case Older::HardLinkToInput:
                EXPECT_EQ(::link(dir_.file("BOARD.P01").c_str(), path.c_str()), 0);
                break;
            case Older::SymbolicLink:
                testing::writeFile(dir_.file("target"), "the link's target\n");
                EXPECT_EQ(::symlink("target", path.c_str()), 0);
                break;
        }
        if (older != Older::Locked) return -1;
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        ::flock(fd, LOCK_EX);
        return fd;
    }

    ScratchDir dir_;
    std::string path_;
};

TEST_F(Renderings, FollowTheOutputAndFailAsARuntimeFailureAfterIt) {
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.what);
        useGs(c.gs);
        testing::Board board;
        if (c.farPoint != nullptr) board.body.insert(board.body.begin() + 2, c.farPoint);
        const std::string input = board.bytes();
        testing::writeFile(dir_.file("BOARD.P01"), input);
        const char* name = c.pdf ? "BOARD_E01.pdf" : "BOARD_E01.png";
        const int lock = prepareOlder(name, c.older);
        JobSettings s;  // the log opens in its viewer
        s.pageregel = c.eps ? 0 : 1;
        if (c.noMargins) s.Text_eind = s.Text_breed = "0";
        s.pdf = c.pdf;
        s.preview = static_cast<std::int16_t>(c.preview);
        testing::RecordingPlatform platform;
        const DropResult r = convertDrop({{dir_.file("BOARD.P01")}, false}, s, platform);
        if (lock >= 0) ::close(lock);
        EXPECT_EQ(r.outcome, c.outcome) << r.message;
        EXPECT_NE(r.message.find(expand(c.says, dir_.path())), std::string::npos) << r.message;
        // The output and the log are complete either way, the input untouched.
        EXPECT_NE(readFile(r.output_path).find("0 0 l\r\n"), std::string::npos);
        EXPECT_NE(readFile(r.log_path).find("BoundingBox"), std::string::npos);
        EXPECT_EQ(readFile(dir_.file("BOARD.P01")), input);
        // Nothing made on the way stays in the folder.
        for (const auto& entry : std::filesystem::directory_iterator(dir_.path()))
            EXPECT_NE(entry.path().filename().string()[0], '.') << entry.path();
        if (c.outcome != DropOutcome::Completed) {
            EXPECT_EQ(platform.ended, 1);
            EXPECT_EQ(r.message.find("ran"), std::string::npos) << "gs ran";
            if (c.older == Older::Plain) {
                EXPECT_FALSE(fileExists(dir_.file(name))) << "an older one is left";
            } else if (c.older == Older::SymbolicLink) {
                EXPECT_EQ(readFile(dir_.file("target")), "the link's target\n");
            }
            continue;
        }
        expectLinesInOrder(readFile(r.pdf_path), c.pdfHas);
        EXPECT_EQ(platform.opened, (std::vector<std::string>{r.log_path}));
    }
}

}  // namespace
}  // namespace zarn
