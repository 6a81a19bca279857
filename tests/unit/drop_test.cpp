// Whole drops: intake refusals, naming, the error exit and the finish.
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "test_support.h"

namespace zarn {
namespace {

using testing::Board;
using testing::Converted;
using testing::quietSettings;
using testing::ScratchDir;

TEST(Drop, TheRefusedCropValueStaysInTheSettings) {
    JobSettings s = quietSettings();
    s.Text_crop = "1.01";
    s.Text_eind = "07";
    s.Text_breed = "2.5";
    testing::RecordingPlatform platform;
    convertDrop({{"/nonexistent/BOARD.P01"}, false}, s, platform);
    EXPECT_EQ(s.Crop_Factor, 1.01f);
    EXPECT_EQ(s.marge, 7);
    EXPECT_EQ(s.breedte, 2);
}

TEST(Drop, IntakeRefusalsLeaveTheProgramRunning) {
    ScratchDir dir;
    testing::writeFile(dir.file("A.P01"), Board().bytes());
    const struct {
        DroppedData drop;
        bool english;
        DropOutcome outcome;
        const char* message;
        // clang-format off
    } cases[] = {
        {{{dir.file("A.P01"), dir.file("A.P01")}, false}, false, DropOutcome::SeveralFiles, "Sorry, 1 tegelijk!"},
        {{{dir.path()}, false}, true, DropOutcome::Directory, "Sorry only files, NO directories"},
        {{{dir.file("A.P01")}, true}, false, DropOutcome::RichText, "Sorry alleen Zarn1 *.ps files"},
    };
    // clang-format on
    for (const auto& c : cases) {
        JobSettings s = quietSettings();
        if (c.english) s.LANG = "UK";
        testing::RecordingPlatform platform;
        const DropResult r = convertDrop(c.drop, s, platform);
        EXPECT_EQ(r.outcome, c.outcome);
        ASSERT_EQ(platform.messages.size(), 1u);
        EXPECT_EQ(platform.messages[0].text, c.message);
        EXPECT_EQ(platform.messages[0].icon, MessageIcon::Stop);
        EXPECT_EQ(platform.ended, 0);
    }
    EXPECT_FALSE(testing::fileExists(dir.file("A_E01.ps")));
}

TEST(Drop, NamesOfOutputAndLog) {
    const struct {
        const char* input;
        bool eps;
        const char* output;
        const char* log;
        // clang-format off
    } cases[] = {
        {"BOARD.P01", true, "BOARD_E01.eps", "BOARD_E01_log.TXT"},
        {"BOARD.P01", false, "BOARD_E01.ps", "BOARD_E01_log.TXT"},
        {"BOARD.P10", false, "BOARD_E10.ps", "BOARD_E10_log.TXT"},
        {"BOARD.X1Y", true, "BOARD_E1Y.eps", "BOARD_E1Y_log.TXT"},
        {"board.p01", true, "board_E01.eps", "board_E01_log.TXT"},
        {"BOARD.REV.P01", false, "BOARD.REV_E01.ps", "BOARD.REV_E01_log.TXT"},
        {"my board; $(rm -rf x) 'q'.P01", false, "my board; $(rm -rf x) 'q'_E01.ps",
         "my board; $(rm -rf x) 'q'_E01_log.TXT"},
    };
    // clang-format on
    ScratchDir dir;
    for (const auto& c : cases) {
        JobSettings s = quietSettings();
        s.pageregel = c.eps ? 0 : 1;
        const Converted got = testing::convert(dir, Board().bytes(), s, c.input);
        EXPECT_EQ(got.result.outcome, DropOutcome::Completed) << c.input << got.result.message;
        EXPECT_EQ(got.result.output_path, dir.file(c.output));
        EXPECT_EQ(got.result.log_path, dir.file(c.log));
        EXPECT_TRUE(testing::fileExists(dir.file(c.output)));
    }
}

TEST(Drop, BadNamesEndInTheErrorExit) {
    ScratchDir dir;
    for (const char* name : {"BOARD.ps", "BOARD_E01.eps", "BOARD.P2", "BOARD", "P"}) {
        const Converted got = testing::convert(dir, Board().bytes(), quietSettings(), name);
        EXPECT_EQ(got.result.outcome, DropOutcome::ErrorExit) << name;
        EXPECT_EQ(got.result.message,
                  "Is de invoernaam wel OK?  \rIk verwacht een standaard Zarn1 PS = *.Pxx bestand ")
            << name;
        EXPECT_EQ(got.platform.messages.at(0).title, "Fout !") << name;
    }
}

TEST(Drop, FinishOpensTheLogAndConfirms) {
    ScratchDir dir;
    JobSettings s;  // log popup on
    s.okido = 1;
    Converted got = testing::convert(dir, Board().bytes(), s);
    EXPECT_EQ(got.result.outcome, DropOutcome::Completed);
    EXPECT_EQ(got.platform.opened, std::vector<std::string>{dir.file("BOARD_E01_log.TXT")});
    EXPECT_EQ(got.platform.beeps, 1);
    ASSERT_EQ(got.platform.messages.size(), 1u);
    EXPECT_EQ(got.platform.messages[0].title, "Okido !");
    EXPECT_EQ(got.platform.messages[0].icon, MessageIcon::Information);
    EXPECT_EQ(got.platform.messages[0].text, "Routine tot eind volbracht ! ");

    got = testing::convert(dir, Board().bytes(), quietSettings());
    EXPECT_TRUE(got.platform.opened.empty());
    EXPECT_TRUE(got.platform.messages.empty());
    EXPECT_EQ(got.platform.beeps, 0);
}

// A conversion tells how far its two passes are: 0 to 100, rising, at most once a buffer read.
TEST(Drop, ProgressRisesThroughBothPasses) {
    ScratchDir dir;
    Board board;
    board.body.insert(board.body.begin() + 1, 700000, "0 0 l");  // 5 MB, five buffers a pass
    const std::vector<int> got =
        testing::convert(dir, board.bytes(), quietSettings()).platform.percents;
    ASSERT_FALSE(got.empty());
    EXPECT_EQ(got.front(), 0);
    EXPECT_EQ(got.back(), 100);
    EXPECT_TRUE(std::is_sorted(got.begin(), got.end(), std::less_equal<>()))
        << ::testing::PrintToString(got);
    EXPECT_TRUE(std::any_of(got.begin(), got.end(), [](int p) { return p > 0 && p < 50; }));
    EXPECT_TRUE(std::any_of(got.begin(), got.end(), [](int p) { return p > 50 && p < 100; }));
    EXPECT_LE(got.size(), 2 * 6 + 2u);
}

// A job for a print queue goes once the output and the log are complete: the output as it is,
// named after the input, with the page it sets up; the log, the result and the completion
// message say where it went, and a job that is not taken is a runtime failure.
TEST(Drop, AFinishedJobGoesToItsPrintQueue) {
    const struct {
        const char* what;
        bool eps, rotatedA3;
        int job;
        const char* failure;
        const char* says;  // the message; @ for the input
        // clang-format off
    } rows[] = {
        {"sent", false, false, 42, "", "Conversion completed ! \rSent to print queue typesetter as job 42"},
        {"a rotated page is sent as set up", false, true, 7, "", "Conversion completed ! \rSent to print queue typesetter as job 7"},
        {"refused", false, false, 0, "The printer or class does not exist.",
         "Totally wrong!  \rSomething went wrong, type  \rthe job was not sent to the print queue typesetter: The printer or class does not exist. (@)"},
        {"EPS mode", true, false, 42, "",
         "Totally wrong!  \rSomething went wrong, type  \ran EPS output is not sent to a print queue: print mode is (@)"},
    };
    // clang-format on
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        ScratchDir dir;
        JobSettings s = quietSettings();
        s.LANG = "UK";
        s.okido = 1;
        s.queue = "typesetter";
        s.pageregel = row.eps ? 0 : 1;
        if (row.rotatedA3) s.Force_A3 = 1, s.kantel = 0;
        testing::writeFile(dir.file("BOARD.P01"), Board().bytes());
        testing::RecordingPlatform platform;
        platform.printAnswer = {row.job, row.failure};
        const DropResult r = convertDrop({{dir.file("BOARD.P01")}, false}, s, platform);
        std::string says = row.says;
        if (const std::size_t at = says.find('@'); at != std::string::npos)
            says.replace(at, 1, dir.file("BOARD.P01"));
        EXPECT_EQ(r.message, says);
        const std::string log = testing::readFile(dir.file("BOARD_E01_log.TXT"));
        if (row.eps) {
            EXPECT_TRUE(platform.sent.empty());
            continue;
        }
        ASSERT_EQ(platform.sent.size(), 1u);
        const auto& [request, document] = platform.sent[0];
        EXPECT_EQ(request.queue, "typesetter");
        EXPECT_EQ(request.title, "BOARD.P01");
        EXPECT_EQ(document, testing::readFile(dir.file("BOARD_E01.ps")));
        EXPECT_EQ(std::pair(request.pageWidth, request.pageHeight),
                  row.rotatedA3 ? std::pair(1190, 841) : std::pair(43, 28));
        EXPECT_EQ(r.print_job, row.job);
        EXPECT_EQ(log.ends_with(" Sent to print queue typesetter as job " +
                                std::to_string(row.job) + "\r\n"),
                  row.job > 0);
    }
}

TEST(Drop, AViewerThatCannotStartIsARuntimeFailureAfterTheFilesAreComplete) {
    ScratchDir dir;
    testing::writeFile(dir.file("BOARD.P01"), Board().bytes());
    JobSettings s;
    testing::RecordingPlatform platform;
    platform.viewerWorks = false;
    const DropResult r = convertDrop({{dir.file("BOARD.P01")}, false}, s, platform);
    EXPECT_EQ(r.outcome, DropOutcome::ErrorExit);
    EXPECT_NE(testing::readFile(dir.file("BOARD_E01.ps")).find("showpage"), std::string::npos);
}

TEST(Drop, UnwritableOutputFolderIsARuntimeFailure) {
    if (::geteuid() == 0) GTEST_SKIP() << "root writes anywhere";
    ScratchDir dir;
    testing::writeFile(dir.file("BOARD.P01"), Board().bytes());
    ::chmod(dir.path().c_str(), 0555);
    JobSettings s = quietSettings();
    testing::RecordingPlatform platform;
    const DropResult r = convertDrop({{dir.file("BOARD.P01")}, false}, s, platform);
    ::chmod(dir.path().c_str(), 0755);
    EXPECT_EQ(r.outcome, DropOutcome::ErrorExit);
    EXPECT_NE(r.message.find("cannot create"), std::string::npos) << r.message;
}

}  // namespace
}  // namespace zarn
