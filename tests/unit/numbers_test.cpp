#include "zarn/numbers.h"

#include <gtest/gtest.h>

#include <cmath>

#include "zarn/conversion_error.h"

namespace zarn {
namespace {

TEST(LeadingNumber, ReadsTheNumberAtTheStartOfAWord) {
    const struct {
        const char* word;
        double value;
        // clang-format off
    } cases[] = {
        {"12", 12},       {"-0.5", -0.5}, {"+3", 3},      {"1e3", 1000},  {"1E-2", 0.01},
        {"1e", 1},        {"1e+", 1},     {"1.5.2", 1.5}, {"2.5mm", 2.5}, {".5", 0.5},
        {"5.", 5},        {"abc", 0},     {"", 0},        {"-", 0},       {".", 0},
        {"inf", 0},       {"nan", 0},     {"-inf", 0},    {"0x10", 0},    {"1e-400", 0},
        {"007", 7},       {"99.5", 99.5}, {"1,5", 1},     {"\t5", 0},
    };
    // clang-format on
    for (const auto& c : cases) EXPECT_EQ(leadingNumber(c.word), c.value) << c.word;
}

TEST(LeadingNumber, LongWordsReadExactly) {
    EXPECT_EQ(leadingNumber(std::string(5000, '0') + "12"), 12);
    EXPECT_EQ(leadingNumber("0." + std::string(500, '0') + "1"), 0);
    EXPECT_EQ(leadingNumber("0." + std::string(300, '0') + "1e305"), 1e4);
    std::string digits;
    for (int i = 0; i < 1000; ++i) digits += static_cast<char>('1' + i % 9);
    EXPECT_EQ(leadingNumber(digits.substr(0, 300)), std::stod(digits.substr(0, 300)));
    EXPECT_EQ(leadingNumber("0." + digits), std::stod("0." + digits));
    // 2^53 + 1 is a tie between two doubles; a far digit decides it.
    EXPECT_EQ(leadingNumber("9007199254740993." + std::string(900, '0') + "1"), 9007199254740994.0);
    EXPECT_EQ(leadingNumber("9007199254740993." + std::string(900, '0')), 9007199254740992.0);
    EXPECT_THROW(leadingNumber("1" + std::string(400, '0')), ConversionError);
}

TEST(LeadingNumber, AValueBeyondADoubleIsAnOverflow) {
    EXPECT_THROW(leadingNumber("1e400"), ConversionError);
    EXPECT_THROW(leadingNumber("-9e999"), ConversionError);
}

TEST(WordValue, TakesTheFirstWordOnly) {
    EXPECT_EQ(wordValue("  12 mm"), 12);
    EXPECT_EQ(wordValue("0.95"), 0.95);
    EXPECT_EQ(wordValue("    "), 0);
    EXPECT_EQ(wordValue("x 12"), 0);
}

TEST(Rounding, TiesGoToTheEvenNeighbourOrUpwards) {
    const struct {
        double x;
        int even, halfUp;
        // clang-format off
    } cases[] = {
        {12.5, 12, 13}, {13.5, 14, 14}, {-2.5, -2, -2}, {-0.5, 0, 0}, {0.5, 0, 1},
        {2.4999, 2, 2}, {-1.5, -2, -1}, {7.0, 7, 7},
    };
    // clang-format on
    for (const auto& c : cases) {
        EXPECT_EQ(roundEven32(c.x), c.even) << c.x;
        EXPECT_EQ(roundEven16(c.x), c.even) << c.x;
        EXPECT_EQ(floorHalfUp32(c.x), c.halfUp) << c.x;
    }
    EXPECT_EQ(floor16(595.9), 595);
    EXPECT_EQ(floor16(-0.5), -1);
}

TEST(Rounding, ResultsOutsideTheirWidthAreOverflows) {
    EXPECT_EQ(roundEven16(32767.4), 32767);
    EXPECT_THROW(roundEven16(32767.5), ConversionError);
    EXPECT_EQ(roundEven16(-32768.5), -32768);
    EXPECT_THROW(roundEven16(-32769), ConversionError);
    EXPECT_THROW(roundEven32(2147483648.0), ConversionError);
    EXPECT_THROW(floorHalfUp32(2147483647.5), ConversionError);
    EXPECT_THROW(floor16(32768), ConversionError);
    EXPECT_THROW(toSingle(1e39), ConversionError);
    EXPECT_EQ(toSingle(0.95), 0.95f);
}

TEST(CheckedArithmetic, OverflowIsAFailureNotAWrap) {
    EXPECT_EQ(add16(32766, 1), 32767);
    EXPECT_THROW(add16(32767, 1), ConversionError);
    EXPECT_THROW(sub16(-32768, 1), ConversionError);
    EXPECT_EQ(mul16(3276, 10), 32760);
    EXPECT_THROW(mul16(3277, 10), ConversionError);
    EXPECT_THROW(add32(2147483647, 1), ConversionError);
    EXPECT_THROW(mul32(214748365, 10), ConversionError);
    EXPECT_EQ(sub32(-2147483647, 1), -2147483647 - 1);
}

TEST(NumberText, LogItemsAndPlainNumbers) {
    EXPECT_EQ(logInt(595), " 595 ");
    EXPECT_EQ(logInt(-3), "-3 ");
    EXPECT_EQ(logInt(0), " 0 ");
    EXPECT_EQ(logReal(209.9), " 209.9 ");
    EXPECT_EQ(logReal(297.0), " 297 ");
    EXPECT_EQ(logReal(-0.5), "-0.5 ");
    EXPECT_EQ(logReal(0.5), " 0.5 ");
    EXPECT_EQ(logReal(100000000.0), " 100000000 ");
    EXPECT_EQ(logReal(-0.0), " 0 ");
    EXPECT_EQ(intText(-1208), "-1208");
    EXPECT_EQ(singleText(0.95f), "0.95");
    EXPECT_EQ(singleText(0.05f), "0.05");
    EXPECT_EQ(singleText(1.28f), "1.28");
    EXPECT_EQ(singleText(0.123456789f), "0.1234568");
    EXPECT_EQ(singleText(1.0f), "1");
    EXPECT_EQ(singleText(1e-40f), "1e-40");  // below the normal range
    EXPECT_EQ(singleText(-3e20f), "-3e+20");
}

}  // namespace
}  // namespace zarn
