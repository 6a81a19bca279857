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

struct Measured {
    std::int32_t maxX, maxY, minX, minY;
    std::uint64_t lines;
    bool operator==(const Measured&) const = default;
};

Measured measure(const std::string& body, bool fast) {
    ScratchDir dir;
    testing::writeFile(dir.file("in"), body);
    JobSettings settings;
    ConversionState c(settings);
    c.input.open(dir.file("in"));
    if (fast)
        scanBody(c);
    else
        testing::scanBodyByLines(c);
    return {c.geo.max_x_units, c.geo.max_y_units, c.geo.min_x_units, c.geo.min_y_units,
            c.input.linesRead()};
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
                            "1 2 l 3 4 l"};
    std::mt19937 random(7);
    for (int round = 0; round < 400; ++round) {
        std::string body;
        const int count = static_cast<int>(random() % 40);
        for (int k = 0; k < count; ++k) body += pieces[random() % std::size(pieces)];
        ASSERT_EQ(measure(body, true), measure(body, false)) << body;
    }
    std::string big;
    while (big.size() < 3 * InputStream::kBufferSize)
        big += random() % 50 == 0 ? std::string(random() % 900000, 'x') + " 1 l\r\n"
                                  : std::to_string(random() % 9000) + " " +
                                        std::to_string(random() % 9000) + " l\r\n";
    // Fields longer than the buffer, read as they stream past.
    big += std::string(700000, '0') + "12 " + std::string(600000, '0') + "34.5e0 l\r\n";
    big += "7 -" + std::string(800000, '9') + " l\r\n";  // overflows
    EXPECT_THROW(measure(big, true), ConversionError);
    EXPECT_THROW(measure(big, false), ConversionError);
    big.resize(big.rfind("7 -"));
    const Measured fast = measure(big, true);
    EXPECT_EQ(fast, measure(big, false));
    EXPECT_EQ(fast.minX, 0);
}

}  // namespace
}  // namespace zarn
