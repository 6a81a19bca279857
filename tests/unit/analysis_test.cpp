// The analysis pass seen through the log: header checks, bounding box, scale and origin,
// the measured extremes.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "analysis_pass.h"
#include "line_references.h"
#include "test_support.h"
#include "zarn/conversion_error.h"

namespace zarn {
namespace {

using testing::Board;
using testing::Converted;
using testing::quietSettings;
using testing::ScratchDir;

TEST(HeaderScan, RefusesWhatIsNotAZarnHeader) {
    enum Expect { Ok, NotPostScript, SecondTime, Runtime };
    const struct {
        std::string Board::*field;
        const char* line;
        Expect expect;
        // clang-format off
    } cases[] = {
        {&Board::first, "%!PS-Adobe-3.0 EPSF-3.0", Ok},
        {&Board::first, "%!PS-adobe-3.0", NotPostScript},
        {&Board::first, "%!PS-Adob", NotPostScript},
        {&Board::creator, "%%Creator: Zarn1 7.04", Ok},
        {&Board::creator, "%%creator: Zarn1", NotPostScript},
        {&Board::creator, "%%Creator: Zarn1 Edit layerP01", SecondTime},
        {&Board::creator, "%%Creator: EDITED", SecondTime},
        {&Board::title, "%%CreationDate: today", NotPostScript},
        {&Board::created, "%%Creat", Ok},
        {&Board::bbox, "%%BoundingBox: (atend)", Runtime},
        {&Board::bbox, "%%BoundingBox: 0 0 40000 842", Runtime},
        {&Board::end, "%%EOF", NotPostScript},
        {&Board::end, "%%EndProlog", Ok},
    };
    // clang-format on
    ScratchDir dir;
    for (const auto& c : cases) {
        Board board;
        board.*(c.field) = c.line;
        const Converted got = testing::convert(dir, board.bytes(), quietSettings());
        std::string expected;
        switch (c.expect) {
            case Ok: EXPECT_EQ(got.result.outcome, DropOutcome::Completed) << c.line; continue;
            case NotPostScript:
                expected = "Is de invoer naam wel OK?  \rIs het wel postscript, ik mis iets (%%)  ";
                break;
            case SecondTime:
                expected = "Is de invoernaam OK?  \rDit is de tweede keer, niet doen...  ";
                break;
            case Runtime: expected = "Hardstikke fout!  \rEr trad een fout op, type  \r"; break;
        }
        EXPECT_EQ(got.result.outcome, DropOutcome::ErrorExit) << c.line;
        EXPECT_EQ(got.result.message.substr(0, expected.size()), expected) << c.line;
        EXPECT_EQ(got.platform.ended, 1);
        EXPECT_EQ(got.output, "") << "the output stays empty until the rewrite pass";
    }
}

}  // namespace
}  // namespace zarn

namespace zarn {
namespace {

// The extremes in raw units: of the points, or with the ink box of the ink (none: nothing drawn).
struct Measured {
    double maxX, maxY, minX, minY;
    std::uint64_t lines;
    bool operator==(const Measured&) const = default;
};

// The fast scan splits a body of `splitFrom` bytes or more into halves scanned at once.
Measured measure(const std::string& body, bool fast, bool inkBox = false,
                 std::uint64_t splitFrom = kSplitScanBytes) {
    ScratchDir dir;
    testing::writeFile(dir.file("in"), body);
    JobSettings settings;
    settings.inkBox = inkBox;
    ConversionState c(settings);
    c.input.open(dir.file("in"));
    c.input_read = c.input.identity();
    if (fast)
        scanBody(c, splitFrom);
    else
        testing::scanBodyByLines(c);
    if (inkBox) {
        const InkExtent ink = c.geo.ink_raw.value_or(InkExtent{0, 0, -1, -1});
        return {ink.urx, ink.ury, ink.llx, ink.lly, c.input.linesRead()};
    }
    return {1.0 * c.geo.max_x_units, 1.0 * c.geo.max_y_units, 1.0 * c.geo.min_x_units,
            1.0 * c.geo.min_y_units, c.input.linesRead()};
}

TEST(JobGeometry, FastBodyScanMatchesTheGeneralReader) {
    const char* pieces[] = {"12 34 l",
                            "12.5 7.5 l",
                            "-3 4 l",
                            " 5 6 l",
                            "7  8 l",
                            "1e3 2 lineto",
                            "1234567890 1 l",
                            "9 9 m",
                            "s",
                            "\r\n",
                            "\r",
                            "\n",
                            " ",
                            "l",
                            "4999 5001 l",
                            "x y l",
                            "+7 -0.5 l",
                            "00000000012 3 l",
                            "1 2 l 3 4 l",
                            "2 w",
                            "2 w ",
                            "2 w 0.1 g",
                            "-7.5 w",
                            " w",
                            "12 w0"};
    std::mt19937 random(7);
    for (int round = 0; round < 400; ++round) {
        std::string body;
        const int count = static_cast<int>(random() % 40);
        for (int k = 0; k < count; ++k) body += pieces[random() % std::size(pieces)];
        for (const bool ink : {false, true}) {
            const Measured reference = measure(body, false, ink);
            ASSERT_EQ(measure(body, true, ink), reference) << ink << body;
            ASSERT_EQ(measure(body, true, ink, 0), reference) << ink << body;
        }
    }
    std::string big;
    while (big.size() < 3 * InputStream::kBufferSize)
        big += random() % 50 == 0 ? std::string(random() % 900000, 'x') + " 1 l\r\n"
                                  : std::to_string(random() % 9000) + " " +
                                        std::to_string(random() % 9000) + " l\r\n";
    // Fields longer than the buffer, read as they stream past.
    big += std::string(700000, '0') + "12 " + std::string(600000, '0') + "34.5e0 l\r\n";
    big += "7 -" + std::string(800000, '9') + " l\r\n";  // overflows
    // The failure names its line however the body was scanned.
    std::vector<std::uint64_t> failedAt;
    for (const std::uint64_t splitFrom : {kSplitScanBytes, std::uint64_t{0}}) {
        try {
            measure(big, true, false, splitFrom);
            ADD_FAILURE() << "no overflow";
        } catch (const ConversionError& e) {
            failedAt.push_back(e.context().inputLine);
        }
    }
    EXPECT_EQ(failedAt, std::vector<std::uint64_t>(2, std::count(big.begin(), big.end(), '\r')));
    EXPECT_THROW(measure(big, false), ConversionError);
    big.resize(big.rfind("7 -"));
    const Measured fast = measure(big, true);
    EXPECT_EQ(fast, measure(big, false));
    EXPECT_EQ(measure(big, true, false, 0), fast);
    EXPECT_EQ(fast.minX, 0);
    big += "33 w " + std::string(InputStream::kBufferSize, 'x') + "\r\n" +
           std::string(InputStream::kBufferSize, '0') + "5 6 m\r\n";
    // Longer than the buffer, its second field only ends in w: no pen.
    big += "900 " + std::string(InputStream::kBufferSize, 'x') + "w\r\n7 8 l\r\n";
    EXPECT_EQ(measure(big, true, true), measure(big, false, true));
}

// An input that ends where a line was expected says its lines end in LF alone only when they do.
TEST(JobGeometry, TheLoneLineFeedHintOnlyForLinesThatEndSo) {
    const std::pair<std::string, bool> rows[] = {
        {"a\nb\nc\n", true}, {"a\rb\nc\r", false}, {"a\r\nb\r\n", false}};
    for (const auto& [bytes, hint] : rows) {
        ScratchDir dir;
        testing::writeFile(dir.file("in"), bytes);
        InputStream in;
        in.open(dir.file("in"));
        Line line;
        try {
            for (;;) in.readLine(line);
        } catch (const ConversionError& e) {
            EXPECT_EQ(e.description().find("LF alone") != std::string::npos, hint)
                << e.description();
        }
    }
}

// With the ink box, a track's start counts, and each point is widened by half the pen in
// force where it is drawn, also where a part of the body starts in the middle of a pen.
TEST(JobGeometry, InkBoxWidensEachPointByItsOwnPen) {
    const std::pair<std::string, Measured> rows[] = {
        {"100 200 m\r\n300 400 l\r\n", {300.5, 400.5, 99.5, 199.5, 2}},  // no pen set: width 1
        {"2 w\r\n100 200 m\r\n300 400 l\r\n", {305, 405, 95, 195, 3}},   // drawn as 10 w
        {"40 w\r\n100 200 m\r\n3 w\r\n300 400 l\r\n", {301.5, 401.5, 80, 180, 4}},
        {"2 w 0.1 g\r\n7 w\r\n300 400 l\r\n", {303.5, 403.5, 296.5, 396.5, 3}},
        {"-9 w\r\n5 5 l\r\n", {9.5, 9.5, 0.5, 0.5, 2}},
        {"0 0 s\r\n", {-1, -1, 0, 0, 1}},  // nothing drawn
    };
    for (const auto& [body, want] : rows) EXPECT_EQ(measure(body, true, true), want) << body;
    // A wide pen set in the first half draws the second half's first points.
    std::string split = "90 w\r\n";
    while (split.size() < 200000) split += "1000 1000 l\r\n";
    split += "7 w\r\n5000 6000 l\r\n";
    const Measured halves = measure(split, true, true, 0);
    EXPECT_EQ(halves, measure(split, false, true));
    EXPECT_EQ(halves.minX, 955);
}

}  // namespace
}  // namespace zarn
