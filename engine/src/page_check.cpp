#include "page_check.h"

#include <array>
#include <charconv>
#include <cmath>
#include <initializer_list>
#include <utility>

#include "rewrite_pass.h"
#include "zarn/numbers.h"
#include "zarn/texts.h"

namespace zarn {

namespace {

constexpr double kMmPerPs = 25.4 / 72;
// A box edge is a whole PS unit, the translate a whole Zarn unit: a mark up to this far
// beyond an edge is the rounding, not a cut. The ink box rounds outward from the exact ink,
// so only what the measurement itself may be off by remains: the bbox device's pixel and
// single-precision arithmetic.
constexpr double kRoundingPs = 1.0;
constexpr double kMeasuringPs = 0.05;

std::string wholeMm(std::int32_t ps) { return intText(floorHalfUp32(ps * kMmPerPs)); }

std::string sizeMm(std::int32_t width, std::int32_t height) {
    return wholeMm(width) + " x " + wholeMm(height) + " mm";
}

// A distance in mm with one decimal, from the C locale's rules whatever the user's.
std::string tenthsMm(double ps) {
    char text[32];
    const auto end =
        std::to_chars(text, text + sizeof text, ps * kMmPerPs, std::chars_format::fixed, 1).ptr;
    return std::string(text, end) + " mm";
}

// How far the marks stick out of a box, per side: left, bottom, right, top.
std::array<double, 4> overhang(const InkExtent& m, double llx, double lly, double urx, double ury) {
    return {llx - m.llx, lly - m.lly, m.urx - urx, m.ury - ury};
}

// The sides that stick out by more than `allowed`, as "left 1.2 mm, bottom 1.2 mm"; empty when
// none does.
std::string sidesOut(const std::array<double, 4>& out, double allowed, bool english) {
    std::string text;
    for (std::size_t side = 0; side < out.size(); ++side) {
        if (out[side] <= allowed) continue;
        if (!text.empty()) text += ", ";
        text += texts::kSides[side].in(english) + tenthsMm(out[side]);
    }
    return text;
}

}  // namespace

std::vector<std::string> pageWarnings(const ConversionState& c) {
    const WrittenBoxes& w = c.written;
    const bool en = c.english;
    std::vector<std::string> lines;
    if (!w.page) return lines;
    const auto [width, height] = pageSetUp(w);
    if (w.forced && (w.urx > width || w.ury > height))
        lines.push_back(texts::kJobIs.in(en) + sizeMm(w.urx, w.ury) + texts::kForcedPage.in(en) +
                        w.forced + texts::kPage.in(en) + sizeMm(width, height) +
                        texts::kFilmCut.in(en));
    if (w.llx < 0 || w.lly < 0)
        lines.push_back(texts::kJobStartsAt.in(en) + wholeMm(w.llx) + " x " + wholeMm(w.lly) +
                        " mm" + texts::kOffThePage.in(en));
    return lines;
}

std::string beyondMeasuredReach(const WrittenBoxes& w) {
    const auto reach = [](const char* what, std::initializer_list<std::int32_t> edges) {
        for (const std::int32_t edge : edges)
            if (std::abs(static_cast<double>(edge)) > kMeasuredReach)
                return std::string("the ") + what + " reaches " + intText(edge) +
                       " pt, beyond the " + intText(static_cast<std::int64_t>(kMeasuredReach)) +
                       " pt either way that Ghostscript measures";
        return std::string();
    };
    std::string why = reach("BoundingBox", {w.llx, w.lly, w.urx, w.ury});
    if (why.empty() && w.page) why = reach("page", {w.pageWidth, w.pageHeight});
    return why;
}

BoxCheck checkMarks(const ConversionState& c, const std::optional<InkExtent>& marks) {
    const WrittenBoxes& w = c.written;
    const bool en = c.english;
    // Nothing drawn sticks out of anything.
    const InkExtent m =
        marks.value_or(InkExtent{1.0 * w.llx, 1.0 * w.lly, 1.0 * w.llx, 1.0 * w.lly});
    BoxCheck check;
    const double allowed = c.settings.inkBox ? kMeasuringPs : kRoundingPs;
    const std::string boxOut = sidesOut(overhang(m, w.llx, w.lly, w.urx, w.ury), allowed, en);
    check.lines.push_back(boxOut.empty() ? texts::kVerifiedBox.in(en)
                                         : texts::kOutsideBox.in(en) + boxOut);
    if (!boxOut.empty() && !c.settings.inkBox)
        check.lines.push_back(texts::kInkBoxWouldHold.in(en));
    std::string pageOut;
    if (w.page) {
        const auto [width, height] = pageSetUp(w);
        pageOut = sidesOut(overhang(m, 0, 0, width, height), allowed, en);
        check.lines.push_back(pageOut.empty() ? texts::kVerifiedPage.in(en)
                                              : texts::kOutsidePage.in(en) + pageOut);
    }
    check.passed = boxOut.empty() && pageOut.empty();
    return check;
}

}  // namespace zarn
