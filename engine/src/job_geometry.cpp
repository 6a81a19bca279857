// Measuring the job: the scale and origin near the top of the page description, the
// version-7 origin correction, the extremes of every drawing line and the exposure size.
#include <cstring>

#include "analysis_pass.h"
#include "zarn/numbers.h"

namespace zarn {

namespace {

constexpr double kPsPerZarn = 0.05625;  // 72 / 1280
constexpr int kWindowTurns = 15;

// Whole numbers of at most nine digits, the common case of a plotter coordinate.
bool plainInteger(const char* p, std::size_t n, std::int32_t& out) {
    if (n == 0 || n > 9) return false;
    std::int32_t v = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const unsigned d = static_cast<unsigned char>(p[i]) - '0';
        if (d > 9) return false;
        v = v * 10 + static_cast<std::int32_t>(d);
    }
    out = v;
    return true;
}

}  // namespace

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

void scanScaleWindow(ConversionState& c) {
    JobGeometry& g = c.geo;
    for (int turn = 1; turn <= kWindowTurns; ++turn) {
        c.input.readLine(c.current_line);
        if (!contains(c.current_line, "zarn_units scale")) continue;
        g.zarn_scale = toSingle(wordValue(c.current_line));
        c.input.readLine(c.current_line);  // the same turn
        const std::string& line = c.current_line;
        const std::size_t p1 = line.find(' ');
        if (p1 == std::string::npos) continue;
        const std::size_t p2 = line.find(' ', p1 + 1);
        if (p2 == std::string::npos || line.compare(p2 + 1, 9, "translate") != 0 ||
            line.size() < p2 + 10)
            continue;
        g.translate_found = 1;
        std::int32_t x, y;
        readXY(line, p1, p2, x, y);
        g.origin_x_units = floorHalfUp32(static_cast<double>(g.zarn_scale) * x);
        g.origin_y_units = floorHalfUp32(static_cast<double>(g.zarn_scale) * y);
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

void scanBody(ConversionState& c) {
    JobGeometry& g = c.geo;
    std::int32_t maxX = g.max_x_units, maxY = g.max_y_units;
    std::int32_t minX = g.min_x_units, minY = g.min_y_units;
    std::string_view line;
    while (c.input.nextLine(line)) {
        const char* s = line.data();
        const std::size_t n = line.size();
        const void* b1 = std::memchr(s, ' ', n);
        if (b1 == nullptr) continue;
        const std::size_t p1 = static_cast<const char*>(b1) - s;
        const void* b2 = std::memchr(s + p1 + 1, ' ', n - p1 - 1);
        if (b2 == nullptr) continue;
        const std::size_t p2 = static_cast<const char*>(b2) - s;
        if (p2 + 1 >= n || s[p2 + 1] != 'l') continue;
        std::int32_t x, y;
        readXY(line, p1, p2, x, y);
        if (x > maxX) maxX = x;
        if (y > maxY) maxY = y;
        if (x < minX) minX = x;
        if (y < minY) minY = y;
    }
    g.max_x_units = maxX;
    g.max_y_units = maxY;
    g.min_x_units = minX;
    g.min_y_units = minY;
}

void scaleExtremesAndSize(JobGeometry& g) {
    const double scale = g.zarn_scale;
    g.max_x_units = floorHalfUp32(scale * g.max_x_units);
    g.max_y_units = floorHalfUp32(scale * g.max_y_units);
    g.min_x_units = floorHalfUp32(scale * g.min_x_units);
    g.min_y_units = floorHalfUp32(scale * g.min_y_units);
    g.job_width_ps = floorHalfUp32(add32(g.max_x_units, g.offset_x_units) * kPsPerZarn);
    g.job_height_ps = floorHalfUp32(add32(g.offset_y_units, g.max_y_units) * kPsPerZarn);
}

}  // namespace zarn
