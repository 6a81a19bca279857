#include "zarn/numbers.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <optional>
#include <string>

#include "zarn/conversion_error.h"
#include "zarn/path_helpers.h"

namespace zarn {

namespace {

// A number from the input as a message shows it: at most its first 20 characters, then
// three dots (messages are single-byte text).
std::string shortened(std::string text) {
    constexpr std::size_t kShown = 20;
    if (text.size() <= kShown) return text;
    text.resize(kShown);
    return text + "...";
}

[[noreturn]] void overflow(double x, const char* width) {
    throw ConversionError("overflow: the value " + shortened(realText(x)) + " does not fit in a " +
                          width + " integer");
}

[[noreturn]] void overflow(std::int64_t x, const char* width) {
    throw ConversionError("overflow: the value " + intText(x) + " does not fit in a " + width +
                          " integer");
}

template <typename T>
T fitDouble(double x, const char* width) {
    if (!(x >= static_cast<double>(std::numeric_limits<T>::min()) &&
          x <= static_cast<double>(std::numeric_limits<T>::max())))
        overflow(x, width);
    return static_cast<T>(x);
}

template <typename T>
T fitInt(std::int64_t x, const char* width) {
    if (x < std::numeric_limits<T>::min() || x > std::numeric_limits<T>::max()) overflow(x, width);
    return static_cast<T>(x);
}

}  // namespace

void NumberScanner::digit(char c, bool fraction) {
    anyDigit_ = true;
    if (digits_.empty() && c == '0') {
        if (fraction) --scale_;  // 0.00d: the point moves
        return;
    }
    if (digits_.size() < kMaxDigits) {
        digits_ += c;
        if (fraction) --scale_;
    } else {
        sticky_ = sticky_ || c != '0';
        if (!fraction) ++scale_;
    }
}

bool NumberScanner::feed(char c) {
    if (!take(c)) return false;
    if (shown_.size() <= 20) shown_ += c;  // enough to tell a longer number
    return true;
}

bool NumberScanner::take(char c) {
    const bool isDigit = c >= '0' && c <= '9';
    switch (state_) {
        case State::Start:
            if (c == '+' || c == '-') {
                negative_ = c == '-';
                state_ = State::Sign;
                return true;
            }
            [[fallthrough]];
        case State::Sign:
            if (isDigit) {
                digit(c, false);
                state_ = State::Int;
                return true;
            }
            if (c == '.') {
                state_ = State::Point;
                return true;
            }
            break;
        case State::Point:  // a point before any digit needs one after it
            if (isDigit) {
                digit(c, true);
                state_ = State::Frac;
                return true;
            }
            break;
        case State::Int:
            if (isDigit) {
                digit(c, false);
                return true;
            }
            if (c == '.') {
                state_ = State::Frac;
                return true;
            }
            [[fallthrough]];
        case State::Frac:
            if (isDigit) {
                digit(c, true);
                return true;
            }
            if (c == 'e' || c == 'E') {
                state_ = State::ExpMark;
                return true;
            }
            break;
        case State::ExpMark:
            if (c == '+' || c == '-') {
                exponentNegative_ = c == '-';
                state_ = State::ExpSign;
                return true;
            }
            [[fallthrough]];
        case State::ExpSign:
        case State::ExpDigits:
            if (isDigit) {
                exponent_ = std::min<std::int64_t>(exponent_ * 10 + (c - '0'), 1000000000);
                state_ = State::ExpDigits;
                return true;
            }
            break;
        case State::Ended: return false;
    }
    // A mark without digits after it ("1e", "1e+") is not part of the number.
    if (state_ == State::ExpMark || state_ == State::ExpSign) exponent_ = 0;
    state_ = State::Ended;
    return false;
}

double NumberScanner::value() const {
    if (const std::optional<double> v = valueIfFits()) return *v;
    throw ConversionError("overflow: the number " + shortened(shown_) + " is too large");
}

std::optional<double> NumberScanner::valueIfFits() const {
    if (!anyDigit_ || digits_.empty()) return 0.0;
    std::int64_t power = scale_ + (exponentNegative_ ? -exponent_ : exponent_);
    std::string text = digits_;
    if (sticky_) {
        text += '1';  // only whether something follows matters for the rounding
        --power;
    }
    text += 'e' + std::to_string(power);
    double v = 0.0;
    const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    (void)ptr;
    if (ec == std::errc::result_out_of_range) {
        if (power < 0) return 0.0;
        return std::nullopt;
    }
    return negative_ ? -v : v;
}

double leadingNumber(std::string_view word) {
    NumberScanner scanner;
    for (const char c : word)
        if (!scanner.feed(c)) break;
    return scanner.value();
}

double wordValue(std::string_view text) { return leadingNumber(afhak(text)); }

std::optional<double> wordValueIfFits(std::string_view text) {
    NumberScanner scanner;
    for (const char c : afhak(text))
        if (!scanner.feed(c)) break;
    return scanner.valueIfFits();
}

std::optional<std::int16_t> roundEven16IfFits(double x) {
    const double r = std::nearbyint(x);
    if (!(r >= std::numeric_limits<std::int16_t>::min() &&
          r <= std::numeric_limits<std::int16_t>::max()))
        return std::nullopt;
    return static_cast<std::int16_t>(r);
}

float toSingle(double x) {
    if (!(std::fabs(x) <= static_cast<double>(std::numeric_limits<float>::max())))
        throw ConversionError("overflow: the value " + shortened(realText(x)) +
                              " does not fit in a single");
    return static_cast<float>(x);
}

std::int16_t roundEven16(double x) {
    if (const std::optional<std::int16_t> v = roundEven16IfFits(x)) return *v;
    overflow(std::nearbyint(x), "16-bit");
}
std::int32_t roundEven32(double x) { return fitDouble<std::int32_t>(std::nearbyint(x), "32-bit"); }
std::int32_t floorHalfUp32(double x) {
    return fitDouble<std::int32_t>(std::floor(x + 0.5), "32-bit");
}
std::int16_t floorHalfUp16(double x) {
    return fitDouble<std::int16_t>(std::floor(x + 0.5), "16-bit");
}
std::int16_t floor16(double x) { return fitDouble<std::int16_t>(std::floor(x), "16-bit"); }
std::int32_t floor32(double x) { return fitDouble<std::int32_t>(std::floor(x), "32-bit"); }
std::int32_t ceil32(double x) { return fitDouble<std::int32_t>(std::ceil(x), "32-bit"); }

std::int16_t add16(std::int32_t a, std::int32_t b) {
    return fitInt<std::int16_t>(std::int64_t{a} + b, "16-bit");
}
std::int16_t sub16(std::int32_t a, std::int32_t b) {
    return fitInt<std::int16_t>(std::int64_t{a} - b, "16-bit");
}
std::int16_t mul16(std::int32_t a, std::int32_t b) {
    return fitInt<std::int16_t>(std::int64_t{a} * b, "16-bit");
}
std::int32_t add32(std::int64_t a, std::int64_t b) { return fitInt<std::int32_t>(a + b, "32-bit"); }
std::int32_t sub32(std::int64_t a, std::int64_t b) { return fitInt<std::int32_t>(a - b, "32-bit"); }
std::int32_t mul32(std::int64_t a, std::int64_t b) { return fitInt<std::int32_t>(a * b, "32-bit"); }

std::string intText(std::int64_t v) {
    char buf[24];
    auto r = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, r.ptr);
}

std::string fixedText(double v, int decimals) {
    char text[400];  // any double in fixed notation
    const auto end =
        std::to_chars(text, text + sizeof text, v, std::chars_format::fixed, decimals).ptr;
    std::string out(text, end);
    if (out.starts_with('-') && out.find_first_not_of("-0.") == std::string::npos) out.erase(0, 1);
    return out;
}

std::string realText(double v) {
    if (v == 0.0) v = 0.0;  // no "-0"
    char buf[400];
    auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed);
    return std::string(buf, r.ptr);
}

std::string singleText(float v) {
    if (v == 0.0f) v = 0.0f;
    char buf[64];
    // Below the normal range a float holds fewer digits than seven, and seven would show
    // noise (1e-40 as 9.999946e-41): there the shortest form that reads back is the one.
    const auto r = std::fpclassify(v) == FP_SUBNORMAL
                       ? std::to_chars(buf, buf + sizeof buf, v, std::chars_format::general)
                       : std::to_chars(buf, buf + sizeof buf, v, std::chars_format::general, 7);
    return std::string(buf, r.ptr);
}

// Appended rather than "text" + a temporary string, on which g++ 12 at -O3 warns falsely.
std::string logInt(std::int64_t v) {
    return std::string(v < 0 ? "" : " ").append(intText(v)).append(" ");
}

std::string logReal(double v) {
    return std::string(v < 0 ? "" : " ").append(realText(v)).append(" ");
}

}  // namespace zarn
