// The PDF and the preview beside a completed output, made by a stand-in for Ghostscript that
// writes what it was given: the argument vector and the file it replaces, and each way it fails.
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "test_support.h"

namespace zarn {
namespace {

using testing::fileExists;
using testing::readFile;
using testing::ScratchDir;

struct Case {
    const char* what;
    const char* gs;  // the stand-in's script; none: no gs on the PATH
    bool eps;
    bool pdf;
    int preview;
    DropOutcome outcome;
    std::vector<std::string> pdfHas, previewHas;  // lines of the stand-in's output, in order
    const char* says;                             // a part of the message
    const char* farPoint = nullptr;               // a drawing line that widens the page
};

// clang-format off
const Case kCases[] = {
    {"print mode, both", "for a; do echo \"$a\"; done", false, true, 150, DropOutcome::Completed,
     {"-dSAFER", "-dBATCH", "-dNOPAUSE", "-q", "-sstdout=%stderr", "-sDEVICE=pdfwrite",
      "-dAutoRotatePages=/None", "-sOutputFile=%stdout", "-f", "@/BOARD_E01.ps"},
     {"-sDEVICE=png16m", "-r150", "-sOutputFile=%stdout", "-c", "-f", "@/BOARD_E01.ps"}, ""},
    {"EPS mode crops to the box", "for a; do echo \"$a\"; done", true, true, 100, DropOutcome::Completed,
     {"-dEPSCrop", "-f", "@/BOARD_E01.eps"}, {"-r100", "-dEPSCrop"}, ""},
    {"a failure removes the PDF", "echo Error: /undefined in boom >&2; echo part; exit 1", false, true, 0,
     DropOutcome::ErrorExit, {}, {},
     "the PDF @/BOARD_E01.pdf was not written: Ghostscript (gs) failed (exit status 1):\r"
     "Error: /undefined in boom"},
    {"no gs", nullptr, false, false, 100, DropOutcome::ErrorExit, {}, {},
     "the preview @/BOARD_E01.png was not written: Ghostscript (gs) was not found on the PATH"},
    {"a page too large to render", "echo ran >&2; exit 1", false, false, 100, DropOutcome::ErrorExit,
     {}, {}, "the preview @/BOARD_E01.png was not written: the page is 562543 x 562528 pt, more "
     "than the 14400 pt (200 inches) a side that is rendered", "9999999 9999999 l"},
    {"a box too large for a PDF", "echo ran >&2; exit 1", true, true, 0, DropOutcome::ErrorExit,
     {}, {}, "the PDF @/BOARD_E01.pdf was not written: the box is 16918 x 16903 pt", "300000 300000 l"},
    {"too many pixels for a preview", "echo ran >&2; exit 1", false, false, 600, DropOutcome::ErrorExit,
     {}, {}, "the preview @/BOARD_E01.png was not written: at 600 dpi the page would be 94108 x "
     "93983 pixels, more than the 200 million a preview may have", "200000 200000 l"},
};
// clang-format on

std::string expand(std::string text, const std::string& dir) {
    if (const std::size_t at = text.find('@'); at != std::string::npos) text.replace(at, 1, dir);
    return text;
}

// Each of `lines` is a line of `file`, in that order.
void expectLinesInOrder(const std::string& file, const std::vector<std::string>& lines,
                        const std::string& dir) {
    std::size_t from = 0;
    for (const std::string& line : lines) {
        const std::size_t at = file.find(expand(line, dir) + "\n", from);
        ASSERT_NE(at, std::string::npos) << line << " in\n" << file;
        from = at + line.size();
    }
}

class Renderings : public ::testing::Test {
protected:
    void SetUp() override { path_ = std::getenv("PATH"); }
    void TearDown() override { ::setenv("PATH", path_.c_str(), 1); }

    // The stand-in is the only gs on the PATH.
    void useGs(const char* script) {
        const std::string bin = dir_.file("bin");
        ::mkdir(bin.c_str(), 0755);
        ::unlink((bin + "/gs").c_str());
        if (script != nullptr) {
            testing::writeFile(bin + "/gs", std::string("#!/bin/sh\n") + script + "\n");
            ::chmod((bin + "/gs").c_str(), 0755);
        }
        ::setenv("PATH", bin.c_str(), 1);
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
        testing::writeFile(dir_.file("BOARD.P01"), board.bytes());
        testing::writeFile(dir_.file("BOARD_E01.pdf"), "an older PDF\n");
        testing::writeFile(dir_.file("BOARD_E01.png"), "an older preview\n");
        JobSettings s;  // the log opens in its viewer
        s.pageregel = c.eps ? 0 : 1;
        s.pdf = c.pdf;
        s.preview = static_cast<std::int16_t>(c.preview);
        testing::RecordingPlatform platform;
        const DropResult r = convertDrop({{dir_.file("BOARD.P01")}, false}, s, platform);
        EXPECT_EQ(r.outcome, c.outcome) << r.message;
        EXPECT_NE(r.message.find(expand(c.says, dir_.path())), std::string::npos) << r.message;
        // The output and the log are complete either way.
        EXPECT_NE(readFile(r.output_path).find("0 0 l\r\n"), std::string::npos);
        EXPECT_NE(readFile(r.log_path).find("BoundingBox"), std::string::npos);
        if (c.outcome != DropOutcome::Completed) {
            EXPECT_EQ(platform.ended, 1);
            EXPECT_FALSE(fileExists(dir_.file(c.pdf ? "BOARD_E01.pdf" : "BOARD_E01.png")));
            EXPECT_EQ(r.message.find("ran"), std::string::npos) << "gs ran";
            continue;
        }
        expectLinesInOrder(readFile(r.pdf_path), c.pdfHas, dir_.path());
        expectLinesInOrder(readFile(r.preview_path), c.previewHas, dir_.path());
        // The picture opens after the log.
        EXPECT_EQ(platform.opened, (std::vector<std::string>{r.log_path, r.preview_path}));
    }
}

}  // namespace
}  // namespace zarn
