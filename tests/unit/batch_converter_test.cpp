#include "batch_converter.h"

#include <gtest/gtest.h>

#include <sstream>

#include "test_support.h"
#include "zarn/version.h"

namespace zarn {
namespace {

struct Outcome {
    int status;
    std::string out, err;
};

Outcome run(std::vector<std::string> args) {
    std::ostringstream out, err;
    const int status = runBatchConverter(args, out, err);
    return {status, out.str(), err.str()};
}

TEST(BatchConverter, UsageErrors) {
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {},
             {"--eps", "--force=a4", "x.P01"},
             {"--eps", "--rotate", "x.P01"},
             {"--force=a5", "x.P01"},
             {"--gray=0.9", "x.P01"},
             {"--gray=0.1,,0.2", "x.P01"},
             {"--lang=de", "x.P01"},
             {"--bogus", "x.P01"},
             {"--no-settings", "--settings=a.ini", "x.P01"},
         }) {
        const Outcome r = run(args);
        EXPECT_EQ(r.status, 2) << (args.empty() ? "" : args[0]);
        EXPECT_NE(r.err.find("--help"), std::string::npos);
    }
    EXPECT_EQ(run({"--help"}).status, 0);
    EXPECT_EQ(run({"--version"}).out, std::string("zarn1-ps-convert ") + kVersion + "\n");
}

TEST(BatchConverter, ConvertsEachFileAndReportsFailuresWithTheWindowsText) {
    testing::ScratchDir dir;
    testing::writeFile(dir.file("GOOD.P01"), testing::Board().bytes());
    testing::Board bad;
    bad.end = "%%EOF";
    testing::writeFile(dir.file("BAD.P01"), bad.bytes());
    const Outcome r = run({"--no-settings", "--lang=uk", "--gray=none", dir.file("BAD.P01"),
                       dir.file("GOOD.P01")});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, dir.file("GOOD_E01.ps") + "\n" + dir.file("GOOD_E01_log.TXT") + "\n");
    EXPECT_EQ(r.err, "Is the input name OK?  \nIs it really postscript, I miss something (%%)  \n");
    EXPECT_TRUE(testing::fileExists(dir.file("BAD_E01_log.TXT")));
}

TEST(BatchConverter, EveryRefusalOfADropIsReachable) {
    testing::ScratchDir dir;
    testing::writeFile(dir.file("A.P01"), testing::Board().bytes());
    const struct {
        std::vector<std::string> args;
        const char* err;
    } cases[] = {
        {{"--one-drop", dir.file("A.P01"), dir.file("A.P01")}, "Sorry, 1 tegelijk!\n"},
        {{dir.path()}, "Sorry alleen files, geen directories\n"},
        {{"--rich-text", "--lang=uk", dir.file("A.P01")}, "Sorry only Zarn1 *.ps files\n"},
        {{"--crop=0.89", dir.file("A.P01")}, "Knip factor ongeldig!\n"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args{"--no-settings"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const Outcome r = run(args);
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err, c.err);
    }
    EXPECT_FALSE(testing::fileExists(dir.file("A_E01.ps")));
}

// Options act through the same steps as the settings file, after it, and the mode rules
// apply to the mode that results, wherever it was set.
TEST(BatchConverter, OptionsFollowTheSettingsFileThroughTheSameSteps) {
    const struct {
        std::vector<std::string> ini, args;
        int status;
        const char* output;  // empty: none written
        const char* rotation;
    } cases[] = {
        {{"PAGEMODE = 0"}, {}, 0, "A_E01.eps", " output is NIET gekanteld  = normaal "},
        {{"PAGEMODE = 0"}, {"--print"}, 0, "A_E01.ps", " output is NIET gekanteld  = normaal "},
        {{"PAGEMODE = 0"}, {"--rotate"}, 2, "", ""},
        {{"PAGEMODE = 0"}, {"--force=a4"}, 2, "", ""},
        {{"FORCEA4 = 1", "ROTATE = 1"}, {}, 0, "A_E01.ps", " output is Gekanteld  = speciaal"},
        {{"FORCEA4 = 1", "ROTATE = 1"}, {"--force=none"}, 0, "A_E01.ps",
         " output is NIET gekanteld  = normaal "},
        {{"FORCEA4 = 1", "ROTATE = 1"}, {"--eps"}, 0, "A_E01.eps", " output is NIET gekanteld  = normaal "},
        {{"COUNTRY = 44", "POPUPTXT = 1"}, {"--rotate"}, 0, "A_E01.ps", " output is ROTATED  = special"},
    };
    for (const auto& c : cases) {
        testing::ScratchDir dir;
        testing::writeFile(dir.file("A.P01"), testing::Board().bytes());
        testing::writeFile(dir.file("S.INI"), testing::crlf(c.ini));
        std::vector<std::string> args{"--settings=" + dir.file("S.INI")};
        args.insert(args.end(), c.args.begin(), c.args.end());
        args.push_back(dir.file("A.P01"));
        const std::string what = c.ini[0] + (c.args.empty() ? "" : " " + c.args[0]);
        EXPECT_EQ(run(args).status, c.status) << what;
        if (*c.output == 0) {
            EXPECT_FALSE(testing::fileExists(dir.file("A_E01.ps")) || testing::fileExists(dir.file("A_E01.eps")));
            continue;
        }
        EXPECT_TRUE(testing::fileExists(dir.file(c.output))) << what;
        EXPECT_NE(testing::readFile(dir.file("A_E01_log.TXT")).find(std::string(c.rotation) + "\r\n"),
                  std::string::npos)
            << what;
    }
}

}  // namespace
}  // namespace zarn
