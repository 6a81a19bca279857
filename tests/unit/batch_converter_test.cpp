#include "batch_converter.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <sstream>

#include "process.h"
#include "test_support.h"
#include "zarn/version.h"

namespace zarn {
namespace {

using testing::RunResult;

RunResult run(std::vector<std::string> args) {
    std::ostringstream out, err;
    const int status = runBatchConverter(args, out, err);
    return {status, out.str(), err.str()};
}

TEST(BatchConverter, CommandLine) {
    const struct {
        std::vector<std::string> args;
        int status;
        const char* says;  // the start of stderr after the program's name, or of stdout
        // clang-format off
    } cases[] = {
        {{}, 2, "no FILE given"},
        {{"--eps", "--force=a4", "x.P01"}, 2, "--force needs print mode"},
        {{"--eps", "--rotate", "x.P01"}, 2, "--rotate needs print mode"},
        {{"--force=a5", "x.P01"}, 2, "--force takes none, a4 or a3"},
        {{"--gray=0.1,,0.2", "x.P01"}, 2, "--gray: \"\" is not one of 0.1 ... 0.8"},
        {{"--gray=0.9", "x.P01"}, 2, "--gray: \"0.9\" is not one of 0.1 ... 0.8"},
        {{"--eps", "--dsc", "x.P01"}, 2, "--dsc needs print mode"},
        {{"--send-to=a/b", "x.P01"}, 2, "--send-to: \"a/b\" is not the name of a print queue"},
        {{"--lang", "de", "x.P01"}, 2, "--lang takes nl or uk"},
        {{"--bogus", "x.P01"}, 2, "unknown option --bogus"},
        {{"-x", "x.P01"}, 2, "unknown option -x"},
        {{"x.P01", "--crop"}, 2, "--crop needs a value"},
        {{"--rotate=1", "x.P01"}, 2, "--rotate takes no value"},
        {{"--no-settings", "--settings=a.ini", "x.P01"}, 2, "--settings and --no-settings exclude"},
        {{"--end-margin=-5", "x.P01"}, 2, "--end-margin: \"-5\" does not fit the field: at most 2 digits"},
        {{"--extra-width", "456", "x.P01"}, 2, "--extra-width: \"456\" does not fit"},
        {{"--crop=0.955", "x.P01"}, 2, "--crop: \"0.955\" does not fit the field: at most 4 digits and points"},
        {{"--preview=9", "x.P01"}, 2, "--preview: \"9\" is not a resolution from 10 to 600 dpi"},
        {{"--preview=6000", "x.P01"}, 2, "--preview: \"6000\" is not a resolution"},
        {{"--preview", "150", "x.P01"}, 1, ""},  // DPI only after '=': 150 is a FILE
        {{"--pdf=1", "x.P01"}, 2, "--pdf takes no value"},
        {{"-h"}, 0, "Usage: zarn1-ps-convert"},
        {{"--version", "--no-settings"}, 0, "zarn1-ps-convert 5.3\nSettings file: none (--no-settings)\n"},
        {{"-V"}, 0, "zarn1-ps-convert 5.3\n"},
    };
    // clang-format on
    for (const auto& c : cases) {
        const RunResult r = run(c.args);
        EXPECT_EQ(r.status, c.status) << c.says;
        if (c.status == 2) {
            EXPECT_EQ(r.err.rfind(std::string("zarn1-ps-convert: ") + c.says, 0), 0u) << r.err;
            EXPECT_NE(r.err.find("Try 'zarn1-ps-convert --help'.\n"), std::string::npos);
        } else if (c.status == 0) {
            EXPECT_EQ(r.out.rfind(c.says, 0), 0u) << r.out;
        }
    }
}

// Each message names its FILE as given; control characters in names are quoted.
TEST(BatchConverter, ConvertsEachFileAndReportsFailuresWithTheWindowsText) {
    testing::ScratchDir dir;
    testing::writeFile(dir.file("GOOD.P01"), testing::Board().bytes());
    testing::writeFile(dir.file("LINE\nFEED.P01"), testing::Board().bytes());
    testing::Board bad;
    bad.end = "%%EOF";
    testing::writeFile(dir.file("BAD.P01"), bad.bytes());
    const RunResult r = run({"--no-settings", "--lang", "uk", "--crop", "0.95", dir.file("BAD.P01"),
                             dir.file("GOOD.P01"), dir.file("LINE\nFEED.P01")});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, dir.file("GOOD_E01.ps") + "\n" + dir.file("GOOD_E01_log.TXT") + "\n'" +
                         dir.file("LINE") + "'$'\\012''FEED_E01.ps'\n'" + dir.file("LINE") +
                         "'$'\\012''FEED_E01_log.TXT'\n");
    EXPECT_EQ(r.err,
              "zarn1-ps-convert: " + dir.file("BAD.P01") +
                  ": Is the input name OK?  \nIs it really postscript, I miss something (%%)  \n");
    EXPECT_TRUE(testing::fileExists(dir.file("BAD_E01_log.TXT")));
    EXPECT_EQ(run({"--no-settings", "-q", dir.file("GOOD.P01")}).out, "");
}

// A later FILE that would replace what an earlier one wrote in this run is left alone.
TEST(BatchConverter, NoFileReplacesAnotherOfTheSameRun) {
    testing::ScratchDir dir;
    testing::writeFile(dir.file("X.P01"), testing::Board().bytes());
    testing::writeFile(dir.file("X.Q01"), testing::Board().bytes() + "% other\r\n");
    const RunResult r = run({"--no-settings", dir.file("X.P01"), dir.file("X.Q01")});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "zarn1-ps-convert: " + dir.file("X.Q01") +
                         ": not converted: its output or log was written for " + dir.file("X.P01") +
                         " earlier in this run\n");
    EXPECT_EQ(testing::readFile(dir.file("X_E01.ps")).find("% other"), std::string::npos);
}

TEST(BatchConverter, EveryRefusalOfADropIsReachable) {
    testing::ScratchDir dir;
    testing::writeFile(dir.file("A.P01"), testing::Board().bytes());
    const struct {
        std::vector<std::string> args;
        std::string err;
        // clang-format off
    } cases[] = {
        {{"--one-drop", dir.file("A.P01"), dir.file("A.P01")}, dir.file("A.P01") + ": Sorry, 1 tegelijk!\n"},
        {{dir.path()}, dir.path() + ": Sorry alleen files, geen directories\n"},
        {{"--rich-text", "--lang=uk", dir.file("A.P01")}, dir.file("A.P01") + ": Sorry only Zarn1 *.ps files\n"},
    };
    // clang-format on
    for (const auto& c : cases) {
        std::vector<std::string> args{"--no-settings"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const RunResult r = run(args);
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err, "zarn1-ps-convert: " + c.err);
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
        // clang-format off
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
    // clang-format on
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
            EXPECT_FALSE(testing::fileExists(dir.file("A_E01.ps")) ||
                         testing::fileExists(dir.file("A_E01.eps")));
            continue;
        }
        EXPECT_TRUE(testing::fileExists(dir.file(c.output))) << what;
        EXPECT_NE(
            testing::readFile(dir.file("A_E01_log.TXT")).find(std::string(c.rotation) + "\r\n"),
            std::string::npos)
            << what;
    }
}

// A name that is not UTF-8 is shown readably and given byte for byte in hexadecimal; each kind
// of end has its outcome, and the scale is the single-precision value's.
TEST(BatchConverter, JsonRecordKeepsANameThatIsNotUtf8) {
    testing::ScratchDir dir;
    const std::string name = dir.file("caf\xe9.P01");
    testing::Board board;
    board.window = {"0.64 zarn_units scale", "0 0 translate"};
    testing::writeFile(name, board.bytes());
    const RunResult r = run({"--no-settings", "--json", name, dir.file("GONE.P01"), dir.path()});
    std::vector<std::string> lines;
    std::istringstream out(r.out);
    for (std::string line; std::getline(out, line);) lines.push_back(line);
    ASSERT_EQ(lines.size(), 3u) << r.out;
    const auto record = nlohmann::json::parse(lines[0]);
    std::string bytes;
    const std::string hex = record["input_hex"];
    for (std::size_t i = 0; i < hex.size(); i += 2)
        bytes += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
    EXPECT_EQ(bytes, name);
    EXPECT_EQ(record["page_box"].size(), 4u);
    EXPECT_NE(lines[0].find("\"scale\":0.64,"), std::string::npos) << lines[0];
    const char* outcomes[] = {"converted", "error exit", "refused"};
    for (std::size_t i = 0; i < 3; ++i)
        EXPECT_EQ(nlohmann::json::parse(lines[i])["outcome"], outcomes[i]) << lines[i];
    EXPECT_EQ(r.status, 1);
}

}  // namespace
}  // namespace zarn
