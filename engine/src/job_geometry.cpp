// Measuring the job: the scale and origin near the top of the page description, the
// version-7 origin correction, the extremes of every drawing line and the exposure size.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string_view>
#include <utility>

#include "analysis_pass.h"
#include "coordinate_digits.h"
#include "zarn/numbers.h"

namespace zarn {

void computePageDimensions(JobSettings& s) {
    const double crop = s.Crop_Factor;  // widened without change
    s.A4_kortPS = floorHalfUp16(crop * 595);
    s.A4_langPS = floorHalfUp16(crop * 841);
    s.A3_langPS = floorHalfUp16(crop * 1190);
}

void readXY(std::string_view line, std::size_t p1, std::size_t p2, std::int32_t& x,
            std::int32_t& y) {
    if (!plainInteger(line.data(), p1, x)) x = roundEven32(wordValue(line.substr(0, p1 + 1)));
    if (!plainInteger(line.data() + p1 + 1, p2 - p1 - 1, y))
        y = roundEven32(wordValue(line.substr(p1, p2 - p1)));
}

namespace {

// The leading number of the line's first word, read as the line streams past.
double firstWordValue(const Line& line) {
    NumberScanner number;
    bool begun = false;
    line.forEachPiece([&](std::string_view piece) {
        for (const char ch : piece) {
            if (ch == ' ') {
                if (begun) return false;
                continue;
            }
            begun = true;
            if (!number.feed(ch)) return false;
        }
        return true;
    });
    return number.value();
}

// A line "x y translate": x before the first blank, y before the second, "translate" right
// after it. False for any other line.
bool readTranslateLine(const Line& line, std::int32_t& x, std::int32_t& y) {
    constexpr std::string_view kWord = "translate";
    NumberScanner xs, ys;
    int blanks = 0;
    std::size_t matched = 0;
    line.forEachPiece([&](std::string_view piece) {
        for (const char ch : piece) {
            if (blanks < 2) {
                if (ch == ' ')
                    ++blanks;
                else
                    (blanks == 0 ? xs : ys).feed(ch);
            } else if (ch != kWord[matched] || ++matched == kWord.size()) {
                return false;
            }
        }
        return true;
    });
    if (matched < kWord.size()) return false;
    x = roundEven32(xs.value());
    y = roundEven32(ys.value());
    return true;
}

}  // namespace

void scanScaleWindow(ConversionState& c) {
    JobGeometry& g = c.geo;
    Line& line = c.current_line;
    for (int turn = 1; turn <= kScaleWindowLines; ++turn) {
        c.input.readLine(line);
        if (!line.contains("zarn_units scale")) continue;
        g.zarn_scale =
            causedByLine(c.input.linesRead(), [&] { return toSingle(firstWordValue(line)); });
        c.input.readLine(line);  // the same turn
        causedByLine(c.input.linesRead(), [&] {
            std::int32_t x, y;
            if (!readTranslateLine(line, x, y)) return;
            g.translate_found = 1;
            g.origin_x_units = floorHalfUp32(static_cast<double>(g.zarn_scale) * x);
            g.origin_y_units = floorHalfUp32(static_cast<double>(g.zarn_scale) * y);
        });
    }
}

void applyVersion7Correction(JobGeometry& g) {
    if (!g.translate_found) return;
    if (g.version7) {
        const std::int32_t x = sub32(g.origin_x_units, 252);  // 5.0 mm
        const std::int32_t y = sub32(g.origin_y_units, 504);  // 10.0 mm
        g.offset_x_units = x > 0 ? x : 0;
        g.offset_y_units = y > 0 ? y : 0;
    } else {
        g.offset_x_units = g.origin_x_units;
        g.offset_y_units = g.origin_y_units;
    }
}

namespace {

// The ink on the page, rounded outward at every step: the extremes in Zarn units, the size in
// PS units. The origin is where the rewritten translate line puts it, in whole raw units; in
// print mode the line moves ink that starts left of or below the page onto it.
void scaleInk(JobGeometry& g, bool print) {
    const double scale = g.zarn_scale;
    const InkExtent& raw = *g.ink_raw;
    g.max_x_units = ceil32(scale * (scale > 0 ? raw.urx : raw.llx));
    g.max_y_units = ceil32(scale * (scale > 0 ? raw.ury : raw.lly));
    g.min_x_units = floor32(scale * (scale > 0 ? raw.llx : raw.urx));
    g.min_y_units = floor32(scale * (scale > 0 ? raw.lly : raw.ury));
    const double tx = g.translate_found ? translateRaw(g.offset_x_units, g.zarn_scale) : 0;
    const double ty = g.translate_found ? translateRaw(g.offset_y_units, g.zarn_scale) : 0;
    const double unit = scale * kPsPerZarn;  // PS units a raw unit
    const auto onPage = [&](double origin, double a, double b) {
        return std::pair(std::min((origin + a) * unit, (origin + b) * unit),
                         std::max((origin + a) * unit, (origin + b) * unit));
    };
    auto [left, right] = onPage(tx, raw.llx, raw.urx);
    auto [bottom, top] = onPage(ty, raw.lly, raw.ury);
    if (print && g.translate_found) {
        const auto shift = [&](double low, std::int32_t& raws) {
            if (low >= 0) return 0.0;
            raws = ceil32(-low / std::fabs(unit));
            if (unit < 0) raws = -raws;
            return raws * unit;
        };
        const double dx = shift(left, g.shift_x_raw), dy = shift(bottom, g.shift_y_raw);
        left += dx, right += dx, bottom += dy, top += dy;
    }
    g.ink_ps = InkExtent{left, bottom, right, top};
    g.job_width_ps = ceil32(right);
    g.job_height_ps = ceil32(top);
}

}  // namespace

std::int32_t translateRaw(std::int32_t offsetUnits, float scale) {
    return floorHalfUp32(offsetUnits / static_cast<double>(scale));
}

void scaleExtremesAndSize(JobGeometry& g, bool print) {
    if (g.ink_raw && g.zarn_scale != 0.0f) return scaleInk(g, print);
    const double scale = g.zarn_scale;
    g.max_x_units = floorHalfUp32(scale * g.max_x_units);
    g.max_y_units = floorHalfUp32(scale * g.max_y_units);
    g.min_x_units = floorHalfUp32(scale * g.min_x_units);
    g.min_y_units = floorHalfUp32(scale * g.min_y_units);
    g.job_width_ps = floorHalfUp32(add32(g.max_x_units, g.offset_x_units) * kPsPerZarn);
    g.job_height_ps = floorHalfUp32(add32(g.offset_y_units, g.max_y_units) * kPsPerZarn);
}

}  // namespace zarn
