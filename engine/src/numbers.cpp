#include "zarn/numbers.h"

#include <charconv>
#include <cmath>
#include <limits>

#include "zarn/conversion_error.h"
#include "zarn/path_helpers.h"

namespace zarn {

namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

[[noreturn]] void overflow(double x, const char* width) {
    throw ConversionError("overflow: the value " + realText(x) + " does not fit in a " + width +
                          " integer");
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

double leadingNumber(std::string_view word) {
    std::size_t i = 0;
    const std::size_t n = word.size();
    bool negative = false;
    if (i < n && (word[i] == '+' || word[i] == '-')) {
        negative = word[i] == '-';
        ++i;
    }
    const std::size_t start = i;
    while (i < n && isDigit(word[i])) ++i;
    bool anyDigit = i > start;
    if (i + 1 < n && word[i] == '.' && isDigit(word[i + 1])) {
        i += 2;
        while (i < n && isDigit(word[i])) ++i;
        anyDigit = true;
    } else if (anyDigit && i < n && word[i] == '.') {
        ++i;  // "5." reads as 5
    }
    if (!anyDigit) return 0.0;
    if (i < n && (word[i] == 'e' || word[i] == 'E')) {
        std::size_t j = i + 1;
        if (j < n && (word[j] == '+' || word[j] == '-')) ++j;
        if (j < n && isDigit(word[j])) {
            while (j < n && isDigit(word[j])) ++j;
            i = j;
        }
    }
    // from_chars takes no '+' in the exponent's place before digits only in the mantissa;
    // the span [start, i) holds digits, '.', and an exponent, which it accepts as is.
    double value = 0.0;
    auto [ptr, ec] =
        std::from_chars(word.data() + start, word.data() + i, value, std::chars_format::general);
    if (ec == std::errc::result_out_of_range) {
        // Too small rounds to zero; too large is an overflow.
        bool tiny = false;
        for (std::size_t k = start; k < i && !tiny; ++k) {
            if (word[k] == 'e' || word[k] == 'E') tiny = k + 1 < i && word[k + 1] == '-';
        }
        if (tiny) return 0.0;
        throw ConversionError("overflow: the number " + std::string(word.substr(0, 40)) +
                              " is too large");
    }
    (void)ptr;
    return negative ? -value : value;
}

double wordValue(std::string_view text) { return leadingNumber(afhak(text)); }

float toSingle(double x) {
    if (!(std::fabs(x) <= static_cast<double>(std::numeric_limits<float>::max())))
        throw ConversionError("overflow: the value " + realText(x) + " does not fit in a single");
    return static_cast<float>(x);
}

std::int16_t roundEven16(double x) { return fitDouble<std::int16_t>(std::nearbyint(x), "16-bit"); }
std::int32_t roundEven32(double x) { return fitDouble<std::int32_t>(std::nearbyint(x), "32-bit"); }
std::int32_t floorHalfUp32(double x) { return fitDouble<std::int32_t>(std::floor(x + 0.5), "32-bit"); }
std::int16_t floorHalfUp16(double x) { return fitDouble<std::int16_t>(std::floor(x + 0.5), "16-bit"); }
std::int16_t floor16(double x) { return fitDouble<std::int16_t>(std::floor(x), "16-bit"); }
std::int32_t floor32(double x) { return fitDouble<std::int32_t>(std::floor(x), "32-bit"); }

std::int16_t add16(std::int32_t a, std::int32_t b) { return fitInt<std::int16_t>(std::int64_t{a} + b, "16-bit"); }
std::int16_t sub16(std::int32_t a, std::int32_t b) { return fitInt<std::int16_t>(std::int64_t{a} - b, "16-bit"); }
std::int16_t mul16(std::int32_t a, std::int32_t b) { return fitInt<std::int16_t>(std::int64_t{a} * b, "16-bit"); }
std::int32_t add32(std::int64_t a, std::int64_t b) { return fitInt<std::int32_t>(a + b, "32-bit"); }
std::int32_t sub32(std::int64_t a, std::int64_t b) { return fitInt<std::int32_t>(a - b, "32-bit"); }
std::int32_t mul32(std::int64_t a, std::int64_t b) { return fitInt<std::int32_t>(a * b, "32-bit"); }

std::string intText(std::int64_t v) {
    char buf[24];
    auto r = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, r.ptr);
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
    auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::general, 7);
    return std::string(buf, r.ptr);
}

std::string logInt(std::int64_t v) { return (v < 0 ? "" : " ") + intText(v) + " "; }

std::string logReal(double v) { return (v < 0 ? "" : " ") + realText(v) + " "; }

}  // namespace zarn
