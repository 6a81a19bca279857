// The number rules: reading the leading number of a word, the two rounding rules, checked
// 16- and 32-bit arithmetic, and numbers written as text without the user's locale.
// Every overflow throws ConversionError; the ...IfFits readers report it as an empty value
// instead, for the settings that are checked against a range rather than converted.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace zarn {

// Reads the leading number of a word that arrives a byte at a time, holding at most a few
// hundred digits whatever the word's length: a value is exact to the double it rounds to.
class NumberScanner {
public:
    // Takes the next byte of the word; false once the number has ended before it.
    bool feed(char c);
    bool ended() const { return state_ == State::Ended; }
    // The value so far; a value too large for a double is an overflow.
    double value() const;
    // The value so far, or none when it is too large for a double.
    std::optional<double> valueIfFits() const;

private:
    enum class State { Start, Sign, Point, Int, Frac, ExpMark, ExpSign, ExpDigits, Ended };
    static constexpr std::size_t kMaxDigits = 800;
    bool take(char c);
    void digit(char c, bool fraction);

    State state_ = State::Start;
    bool negative_ = false;
    bool anyDigit_ = false;
    std::string digits_;      // significant digits, leading zeros dropped
    bool sticky_ = false;     // a nonzero digit beyond kMaxDigits
    std::int64_t scale_ = 0;  // power of ten that the kept digits are to be multiplied by
    std::int64_t exponent_ = 0;
    bool exponentNegative_ = false;
    std::string shown_;  // the first characters, for the overflow message
};

// The number at the start of `word`: optional sign, digits, optional '.' with digits,
// optional exponent. A word that does not begin with a number gives 0. A value too large
// for a double is an overflow.
double leadingNumber(std::string_view word);
// leadingNumber(afhak(text)): the value of the first word of a text.
double wordValue(std::string_view text);
std::optional<double> wordValueIfFits(std::string_view text);

// A value kept in single precision; beyond its range is an overflow.
float toSingle(double x);

// Nearest integer, ties to the even neighbour.
std::int16_t roundEven16(double x);
std::optional<std::int16_t> roundEven16IfFits(double x);
std::int32_t roundEven32(double x);
// floor(x + 0.5), the rule for computed values.
std::int32_t floorHalfUp32(double x);
std::int16_t floorHalfUp16(double x);
// floor(x), for the bounding-box numbers.
std::int16_t floor16(double x);
// Rounded outward, for a box that must hold what it measures: down and up.
std::int32_t floor32(double x);
std::int32_t ceil32(double x);

std::int16_t add16(std::int32_t a, std::int32_t b);
std::int16_t sub16(std::int32_t a, std::int32_t b);
std::int16_t mul16(std::int32_t a, std::int32_t b);
std::int32_t add32(std::int64_t a, std::int64_t b);
std::int32_t sub32(std::int64_t a, std::int64_t b);
std::int32_t mul32(std::int64_t a, std::int64_t b);

// Plain decimal integer: "-3", "1208".
std::string intText(std::int64_t v);
// Shortest decimal form of a double in fixed notation ("209.9", "0.5", "12").
std::string realText(double v);
// A real with exactly `decimals` decimals, rounded to nearest ("19.610", "-0.500"; never "-0.000").
std::string fixedText(double v, int decimals);
// A single-precision value in its shortest form, at most 7 significant digits.
std::string singleText(float v);
// Log number items: blank (or the minus sign) before, one blank after.
std::string logInt(std::int64_t v);
std::string logReal(double v);

}  // namespace zarn
