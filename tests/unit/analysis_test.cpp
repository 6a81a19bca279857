// The analysis pass seen through the log: header checks, bounding box, scale and origin,
// the measured extremes.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "analysis_pass.h"
#include "zarn/conversion_error.h"
#include "test_support.h"

namespace zarn {
namespace {

using testing::Board;
using testing::Converted;
using testing::quietSettings;
using testing::ScratchDir;

bool hasLine(const Converted& c, const std::string& line) {
    const auto lines = c.logLines();
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

TEST(HeaderScan, RefusesWhatIsNotAZarnHeader) {
    enum Expect { Ok, NotPostScript, SecondTime, Runtime };
    const struct {
        std::string Board::*field;
        const char* line;
        Expect expect;
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
            case SecondTime: expected = "Is de invoernaam OK?  \rDit is de tweede keer, niet doen...  "; break;
            case Runtime: expected = "Hardstikke fout!  \rEr trad een fout op, type  \r"; break;
        }
        EXPECT_EQ(got.result.outcome, DropOutcome::ErrorExit) << c.line;
        EXPECT_EQ(got.result.message.substr(0, expected.size()), expected) << c.line;
        EXPECT_EQ(got.platform.ended, 1);
        EXPECT_EQ(got.output, "") << "the output stays empty until the rewrite pass";
    }
}

TEST(HeaderScan, VersionLineAndBoundingBoxNumbers) {
    const struct {
        const char* creator;
        const char* bbox;
        const char* version;
        const char* llx;  // line A4
        const char* urx;  // line A6
    } cases[] = {
        {"%%Creator: Zarn1 7.04", "%%BoundingBox: 0 0 595 842", " Zarn postscript versie 7.xx geconstateerd!",
         " Oorsprong X-maat opgave in de job =  0  PS units =  0  mm",
         " Maximale  X-maat opgave in de job =  595  PS units =  209.9  mm,  alleen Job = 209.9  mm"},
        {"%%Creator: Zarn1 6.10 17.05", "%%BoundingBox: -0.5 0 595.9 841.2",
         " Zarn postscript versie 7.xx geconstateerd!",
         " Oorsprong X-maat opgave in de job = -1  PS units = -0.4  mm",
         " Maximale  X-maat opgave in de job =  595  PS units =  209.9  mm,  alleen Job = 210.3  mm"},
        {"%%Creator: Zarn1 6.10", "%%BoundingBox:  0 0 595 842", " Zarn postscript versie 7.xx NIET geconstateerd!",
         " Oorsprong X-maat opgave in de job =  0  PS units =  0  mm",
         " Maximale  X-maat opgave in de job =  0  PS units =  0  mm,  alleen Job = 0  mm"},
    };
    ScratchDir dir;
    for (const auto& c : cases) {
        Board board;
        board.creator = c.creator;
        board.bbox = c.bbox;
        const Converted got = testing::convert(dir, board.bytes(), quietSettings());
        ASSERT_EQ(got.result.outcome, DropOutcome::Completed) << got.result.message;
        const auto lines = got.logLines();
        EXPECT_EQ(lines.at(9), c.version);
        EXPECT_EQ(lines.at(13), c.llx);
        EXPECT_EQ(lines.at(15), c.urx);
    }
}

TEST(JobGeometry, PageDimensionsFollowTheCropFactor) {
    const struct {
        float crop;
        int a4short, a4long, a3long;
    } cases[] = {{1.0f, 595, 841, 1190}, {0.95f, 565, 799, 1130}, {0.9f, 535, 757, 1071}};
    for (const auto& c : cases) {
        JobSettings s;
        s.Crop_Factor = c.crop;
        computePageDimensions(s);
        EXPECT_EQ(s.A4_kortPS, c.a4short);
        EXPECT_EQ(s.A4_langPS, c.a4long);
        EXPECT_EQ(s.A3_langPS, c.a3long);
    }
}

TEST(JobGeometry, OriginAndVersion7Correction) {
    ScratchDir dir;
    Board board;
    board.creator = "%%Creator: Zarn1 7.04";
    board.window = {"2 zarn_units scale", "1000 2000 translate"};
    Converted got = testing::convert(dir, board.bytes(), quietSettings());
    ASSERT_EQ(got.result.outcome, DropOutcome::Completed) << got.result.message;
    EXPECT_TRUE(hasLine(got, " Zarn nulpunt offset: X = 2000 en Y = 4000 Zarn units, X = 39.7 mm en Y = 79.4 mm,"));
    EXPECT_TRUE(hasLine(got, " Zarn7 korr.  offset, X = 1748 en Y = 3496 Zarn units, "));
    EXPECT_TRUE(hasLine(got, " Schaalfactor =  2 "));

    board.window = {"1 zarn_units scale", "200 400 translate"};
    got = testing::convert(dir, board.bytes(), quietSettings());
    EXPECT_TRUE(hasLine(got, " Zarn7 korr.  offset, X = 0 en Y = 0 Zarn units, "));

    board.window = {"% no scale here"};
    got = testing::convert(dir, board.bytes(), quietSettings());
    EXPECT_TRUE(hasLine(got, " Geen ZARN-postscript translate parameter gevonden! Klopt alles wel?"));
}

TEST(JobGeometry, DrawingLinesSetTheExtremes) {
    const struct {
        std::vector<std::string> body;
        const char* maxX;
        const char* minX;
    } cases[] = {
        {{"12.5 7.5 l"}, " Maximale  X-maat in de job =  12  ZARN units =  0.7  PS units =  0.2  mm",
         " Oorsprong X-maat in de job =  12  ZARN units =  0.7  PS units =  0.2  mm"},
        {{"12 34 lineto", "99 34 moveto", "98  34 l"},
         " Maximale  X-maat in de job =  12  ZARN units =  0.7  PS units =  0.2  mm",
         " Oorsprong X-maat in de job =  12  ZARN units =  0.7  PS units =  0.2  mm"},
        {{"6000 10 l"}, " Maximale  X-maat in de job =  6000  ZARN units =  337.5  PS units =  119.1  mm",
         " Oorsprong X-maat in de job =  5000  ZARN units =  281.3  PS units =  99.2  mm"},
        {{"s"}, " Maximale  X-maat in de job =  0  ZARN units =  0  PS units =  0  mm",
         " Oorsprong X-maat in de job =  5000  ZARN units =  281.3  PS units =  99.2  mm"},
        {{"abc def l"}, " Maximale  X-maat in de job =  0  ZARN units =  0  PS units =  0  mm",
         " Oorsprong X-maat in de job =  0  ZARN units =  0  PS units =  0  mm"},
    };
    ScratchDir dir;
    for (const auto& c : cases) {
        Board board;
        board.body = c.body;
        const Converted got = testing::convert(dir, board.bytes(), quietSettings());
        ASSERT_EQ(got.result.outcome, DropOutcome::Completed) << got.result.message;
        EXPECT_TRUE(hasLine(got, c.maxX)) << c.body.front();
        EXPECT_TRUE(hasLine(got, c.minX)) << c.body.front();
    }
}

TEST(JobGeometry, AnInputEndingInsideTheWindowIsARuntimeFailure) {
    ScratchDir dir;
    std::string bytes = Board().bytes();
    bytes = bytes.substr(0, bytes.find("% prolog line"));
    const Converted got = testing::convert(dir, bytes, quietSettings());
    EXPECT_EQ(got.result.outcome, DropOutcome::ErrorExit);
    EXPECT_NE(got.result.message.find("ended while a line was expected"), std::string::npos)
        << got.result.message;
}

TEST(JobGeometry, OverflowingCoordinatesAreRuntimeFailures) {
    ScratchDir dir;
    for (const char* line : {"3000000000 1 l", "1 1e12 l", "5e9 x l"}) {
        Board board;
        board.body = {line};
        const Converted got = testing::convert(dir, board.bytes(), quietSettings());
        EXPECT_EQ(got.result.outcome, DropOutcome::ErrorExit) << line;
        EXPECT_NE(got.result.message.find("overflow"), std::string::npos) << got.result.message;
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
        scanBodyByLines(c);
    return {c.geo.max_x_units, c.geo.max_y_units, c.geo.min_x_units, c.geo.min_y_units,
            c.input.linesRead()};
}

TEST(JobGeometry, FastBodyScanMatchesTheGeneralReader) {
    const char* pieces[] = {"12 34 l", "12.5 7.5 l", "-3 4 l", " 5 6 l", "7  8 l", "1e3 2 lineto",
                            "1234567890 1 l", "9 9 m", "s",  "\r\n", "\r", "\n", " ", "l",
                            "4999 5001 l", "x y l", "+7 -0.5 l", "00000000012 3 l", "1 2 l 3 4 l"};
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
                                  : std::to_string(random() % 9000) + " " + std::to_string(random() % 9000) + " l\r\n";
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
