// Golden-file tests for the batch converter.
//
// A case is the set of files tests/data/<case>.*:
//   <case>.P01            the input (copied into a fresh directory before the run)
//   <case>.args           command-line options, one per line (may be empty)
//   <case>_E01.ps / .eps  the expected output, byte for byte; absent: no output may be written
//   <case>_E01_log.TXT    the expected log, byte for byte, with @DIR@ standing for the
//                         directory of the copied input; absent: no log may be written
//   <case>.status         the expected exit status (0 when the file is absent)
//   <case>.stderr         text that stderr must contain (the message of a refused drop)
// After the run the directory must hold the input and the expected files, nothing else.

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "process.h"
#include "test_support.h"

namespace fs = std::filesystem;

namespace {

using zarn::testing::readFile;
using zarn::testing::RunResult;
using zarn::testing::ScratchDir;

const fs::path kDataDir = ZARN_GOLDEN_DATA_DIR;
const char* const kConverter = ZARN_CONVERT_EXE;
const char* const kDirToken = "@DIR@";

std::vector<std::string> caseNames() {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(kDataDir, ec)) {
        if (entry.path().extension() == ".args") names.push_back(entry.path().stem().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<std::string> readArgs(const fs::path& path) {
    std::vector<std::string> args;
    std::istringstream in(readFile(path));
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty()) args.push_back(line);
    }
    return args;
}

std::string replaceAll(std::string text, const std::string& from, const std::string& to) {
    for (std::size_t pos = text.find(from); pos != std::string::npos;
         pos = text.find(from, pos + to.size())) {
        text.replace(pos, from.size(), to);
    }
    return text;
}

// Control characters made visible, so that CR, the end-of-job byte and friends show up.
std::string visible(const std::string& line) {
    std::string out;
    for (unsigned char c : line) {
        if (c == '\r') {
            out += "\\r";
        } else if (c == '\n') {
            out += "\\n";
        } else if (c < 0x20 || c >= 0x7f) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\x%02x", c);
            out += buf;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) {
            lines.push_back(text.substr(start));
            break;
        }
        lines.push_back(text.substr(start, end - start + 1));
        start = end + 1;
    }
    return lines;
}

// Empty when equal; otherwise where the two texts part, line by line (LF-split, so a CR
// or a missing line end shows up in the line text).
std::string firstDifference(const std::string& expected, const std::string& actual) {
    if (expected == actual) return {};
    const auto want = splitLines(expected);
    const auto got = splitLines(actual);
    std::size_t i = 0;
    while (i < want.size() && i < got.size() && want[i] == got[i]) ++i;
    std::ostringstream msg;
    msg << "first difference at line " << i + 1 << " (expected " << want.size() << " lines, got "
        << got.size() << ")\n";
    auto show = [&msg](const std::vector<std::string>& lines, std::size_t n) {
        if (n < lines.size()) {
            msg << '"' << visible(lines[n]) << '"';
        } else {
            msg << "<end>";
        }
        msg << '\n';
    };
    msg << "  expected: ";
    show(want, i);
    msg << "  actual:   ";
    show(got, i);
    return msg.str();
}

std::set<std::string> filesIn(const fs::path& dir) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir)) {
        names.insert(entry.path().filename().string());
    }
    return names;
}

std::string join(const std::set<std::string>& names) {
    std::string out;
    for (const auto& n : names) out += (out.empty() ? "" : ", ") + n;
    return out;
}

class Golden : public ::testing::TestWithParam<std::string> {};

TEST_P(Golden, MatchesExpectedFiles) {
    const std::string name = GetParam();
    const fs::path input = kDataDir / (name + ".P01");
    ASSERT_TRUE(fs::is_regular_file(input)) << "missing input " << input;

    ScratchDir scratch;
    const fs::path work = scratch.path();
    const fs::path copied = work / input.filename();
    fs::copy_file(input, copied);

    std::vector<std::string> args{kConverter, "--no-settings"};
    for (auto& a : readArgs(kDataDir / (name + ".args"))) args.push_back(std::move(a));
    args.push_back(copied.string());

    // The child's output is caught outside `work`, which must hold only what the run wrote.
    const RunResult run = zarn::testing::run(args);

    int wantStatus = 0;
    if (fs::exists(kDataDir / (name + ".status"))) {
        wantStatus = std::atoi(readFile(kDataDir / (name + ".status")).c_str());
    }
    EXPECT_EQ(run.status, wantStatus) << "stdout:\n" << run.out << "stderr:\n" << run.err;
    if (fs::exists(kDataDir / (name + ".stderr"))) {
        const std::string wantMessage = readFile(kDataDir / (name + ".stderr"));
        EXPECT_NE(run.err.find(wantMessage), std::string::npos)
            << "stderr does not contain \"" << visible(wantMessage) << "\"\nstderr:\n"
            << run.err;
    }

    std::set<std::string> wantFiles{copied.filename().string()};
    for (const char* suffix : {"_E01.ps", "_E01.eps", "_E01_log.TXT"}) {
        const std::string fileName = name + suffix;
        const fs::path expectedPath = kDataDir / fileName;
        if (!fs::exists(expectedPath)) continue;
        wantFiles.insert(fileName);
        const fs::path actualPath = work / fileName;
        if (!fs::exists(actualPath)) {
            ADD_FAILURE() << fileName << " was not written";
            continue;
        }
        std::string expected = readFile(expectedPath);
        expected = replaceAll(expected, kDirToken, work.string());
        const std::string diff = firstDifference(expected, readFile(actualPath));
        EXPECT_TRUE(diff.empty()) << fileName << ": " << diff;
    }
    const std::set<std::string> gotFiles = filesIn(work);
    EXPECT_EQ(gotFiles, wantFiles)
        << "files after the run: " << join(gotFiles) << "\nexpected: " << join(wantFiles);
}

// The --json record says what the output header wrote and what the input stated.
TEST_P(Golden, JsonRecordMatchesTheHeaders) {
    const std::string name = GetParam();
    ScratchDir scratch;
    const fs::path copied = fs::path(scratch.path()) / (name + ".P01");
    fs::copy_file(kDataDir / (name + ".P01"), copied);
    std::vector<std::string> args{kConverter, "--no-settings", "--json"};
    for (auto& a : readArgs(kDataDir / (name + ".args"))) args.push_back(std::move(a));
    args.push_back(copied.string());
    const nlohmann::json record = nlohmann::json::parse(zarn::testing::run(args).out);
    EXPECT_EQ(record["input"], copied.string());

    // The four numbers after `key` on the first line that begins with it; null when none does.
    auto numbersAfter = [](const std::string& text, const std::string& key) {
        std::size_t at = 0;
        while ((at = text.find(key, at)) != std::string::npos && at != 0 && text[at - 1] != '\r' &&
               text[at - 1] != '\n')
            ++at;
        if (at == std::string::npos) return nlohmann::json();
        std::istringstream in(text.substr(at + key.size(), 80));
        nlohmann::json numbers = nlohmann::json::array();
        for (int v; numbers.size() < 4 && in >> v;) numbers.push_back(v);
        return numbers;
    };
    for (const char* ext : {"_E01.ps", "_E01.eps"}) {
        if (!fs::exists(kDataDir / (name + ext))) continue;
        const std::string output = readFile(kDataDir / (name + ext));
        EXPECT_EQ(record["bounding_box"], numbersAfter(output, "%%BoundingBox: "));
        EXPECT_EQ(record["page_box"], numbersAfter(output, "%%PageBoundingBox: "));
        const std::size_t line = output.find("{statusdict");
        EXPECT_EQ(record["page_line"],
                  line == std::string::npos
                      ? nlohmann::json()
                      : nlohmann::json(output.substr(line, output.find('\r', line) - line)));
    }
}

INSTANTIATE_TEST_SUITE_P(Data, Golden, ::testing::ValuesIn(caseNames()),
                         [](const ::testing::TestParamInfo<std::string>& info) {
                             return info.param;
                         });

TEST(GoldenData, CasesArePresent) {
    EXPECT_FALSE(caseNames().empty()) << "no *.args files in " << kDataDir;
}

}  // namespace
