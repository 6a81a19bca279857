// What the body scan keeps of the drawing lines: the extremes of their points, and with the
// ink box the ink around them.
#pragma once

#include <climits>
#include <cmath>
#include <cstdint>
#include <optional>
#include <type_traits>

#include "conversion_state.h"
#include "coordinate_digits.h"
#include "extent.h"

namespace zarn {

struct Extremes {
    explicit Extremes(const JobGeometry& g)
        : maxX(g.max_x_units), maxY(g.max_y_units), minX(g.min_x_units), minY(g.min_y_units) {}
    Extremes(std::int32_t maxX_, std::int32_t maxY_, std::int32_t minX_, std::int32_t minY_)
        : maxX(maxX_), maxY(maxY_), minX(minX_), minY(minY_) {}
    // Before the first point, when the extremes have no start values.
    static Extremes none() { return {INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX}; }
    bool empty() const { return maxX < minX; }
    void storeIn(JobGeometry& g) const {
        g.max_x_units = maxX;
        g.max_y_units = maxY;
        g.min_x_units = minX;
        g.min_y_units = minY;
    }

    std::int32_t maxX, maxY, minX, minY;
    SortKey maxXKey = keyOf(maxX), maxYKey = keyOf(maxY), minXKey = keyOf(minX),
            minYKey = keyOf(minY);

    void add(std::int32_t x, std::int32_t y) {
        if (x > maxX) maxXKey = keyOf(maxX = x);
        if (y > maxY) maxYKey = keyOf(maxY = y);
        if (x < minX) minXKey = keyOf(minX = x);
        if (y < minY) minYKey = keyOf(minY = y);
    }
    // Two plain coordinates as aligned digits.
    void addAligned(std::uint64_t x, std::uint64_t y) {
        const SortKey kx = keyOfAligned(x), ky = keyOfAligned(y);
        if (kx > maxXKey) maxX = valueOfAligned(x), maxXKey = kx;
        if (ky > maxYKey) maxY = valueOfAligned(y), maxYKey = ky;
        if (kx < minXKey) minX = valueOfAligned(x), minXKey = kx;
        if (ky < minYKey) minY = valueOfAligned(y), minYKey = ky;
    }
    // What the part of the body after this one found.
    void combine(const Extremes& o) {
        if (o.maxX > maxX) maxX = o.maxX, maxXKey = o.maxXKey;
        if (o.maxY > maxY) maxY = o.maxY, maxYKey = o.maxYKey;
        if (o.minX < minX) minX = o.minX, minXKey = o.minXKey;
        if (o.minY < minY) minY = o.minY, minYKey = o.minYKey;
    }
    // The part of a body that starts in the middle begins where the plain scan begins.
    Extremes partAfter() const { return *this; }
};

// The ink box. Round caps and joins put ink half the pen in force around every point, so the
// points are gathered in runs of one pen as in the plain scan, and a run's extremes are widened
// by half its pen when the pen changes: a point costs no more than it does there.
struct InkScan {
    Extremes run = Extremes::none();
    double half = 0.5;  // a body that sets no pen draws with width 1
    // A part that starts in the middle of the body does not know its first pen: its points
    // before its first pen line wait for the part before it.
    bool penKnown = true;
    Extremes unpenned = Extremes::none();
    std::optional<InkExtent> ink;

    void add(std::int32_t x, std::int32_t y) { run.add(x, y); }
    void addAligned(std::uint64_t x, std::uint64_t y) { run.addAligned(x, y); }
    void addPen(double width) {
        endRun();
        half = std::fabs(width) / 2;
        penKnown = true;
    }
    void endRun() {
        if (penKnown)
            widen(run, half);
        else
            unpenned = run;
        run = Extremes::none();
    }
    void widen(const Extremes& e, double by) {
        if (e.empty()) return;
        const InkExtent box{e.minX - by, e.minY - by, e.maxX + by, e.maxY + by};
        ink = ink ? unite(*ink, box) : box;
    }
    InkScan partAfter() const {
        InkScan after;
        after.penKnown = false;
        return after;
    }
    void combine(InkScan& after) {
        endRun();
        after.endRun();
        widen(after.unpenned, half);
        if (after.ink) ink = ink ? unite(*ink, *after.ink) : after.ink;
        if (after.penKnown) half = after.half;
    }
};

template <bool Ink>
using Scan = std::conditional_t<Ink, InkScan, Extremes>;

}  // namespace zarn
