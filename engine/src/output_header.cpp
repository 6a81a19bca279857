// The first lines of the output: the repaired header comments, the bounding box of the
// measured job plus its margins and, in print mode, the page size for the typesetter.
#include "rewrite_pass.h"
#include "zarn/conversion_error.h"
#include "zarn/numbers.h"

namespace zarn {

namespace {

// A number as the page lines write it: a blank where a minus sign would go.
// Appended rather than " " + a temporary string, on which g++ 12 at -O3 warns falsely.
std::string signedItem(std::int32_t v) {
    return v < 0 ? intText(v) : std::string(" ").append(intText(v));
}

std::int32_t marginPs(const char* field, std::int16_t mm, std::int32_t whenZero) {
    return mm != 0 ? causedByField(field, [&] { return roundEven32(mul16(mm, 72) / 25.4); })
                   : whenZero;
}

struct PageBox {
    bool present = false;
    std::string sides;  // " 595 841"
    std::int32_t width = 0, height = 0;
    const char* forced = nullptr;
};

PageBox pageBox(const JobSettings& s, std::int32_t width, std::int32_t height) {
    if (s.Force_A4 == 0 && s.Force_A3 == 0)
        return {true, std::string(" ").append(intText(width)).append(" ").append(intText(height)),
                width, height};
    if (s.Force_A4 == 1)
        return {true, signedItem(s.A4_kortPS) + signedItem(s.A4_langPS), s.A4_kortPS, s.A4_langPS,
                "A4"};
    if (s.Force_A3 == 1)
        return {true, signedItem(s.A4_langPS) + signedItem(s.A3_langPS), s.A4_langPS, s.A3_langPS,
                "A3"};
    return {};
}

void recordBoxes(ConversionState& c, std::int32_t llx, std::int32_t lly, std::int32_t urx,
                 std::int32_t ury, const PageBox& page) {
    WrittenBoxes& w = c.written;
    w = WrittenBoxes{};
    w.written = true;
    w.llx = llx, w.lly = lly, w.urx = urx, w.ury = ury;
    if (c.settings.pageregel != 1 || !page.present) return;
    w.page = true;
    w.pageWidth = page.width;
    w.pageHeight = page.height;
    w.turned = page.forced && c.settings.kantel == 0;
    w.forced = page.forced;
}

}  // namespace

void copyLine(ConversionState& c, std::string_view more) {
    c.current_line.copyTo(c.output);
    c.output.write(more);
    c.output.write("\r\n", 2);
}

void writeOutputHeader(ConversionState& c) {
    const JobSettings& s = c.settings;
    const JobGeometry& g = c.geo;
    const bool print = s.pageregel == 1;
    OutputFile& out = c.output;

    requireHeaderLine(c, 1, true);
    copyLine(c, print ? "" : " EPSF-2.0");
    requireHeaderLine(c, 2, true);
    copyLine(c, std::string(" Edit layer").append(c.input_ext).append("  by MERU5 - TORVEN"));
    requireHeaderLine(c, 3, true);
    copyLine(c);
    requireHeaderLine(c, 4, true);
    copyLine(c);

    const std::int32_t endMargin = marginPs("end margin", s.marge, print ? 3 : 0);
    const std::int32_t widthMargin = marginPs("width", s.breedte, print ? 3 : 1);
    const std::int32_t pageWidth = add32(g.job_width_ps, widthMargin);
    const std::int32_t pageHeight = add32(g.job_height_ps, endMargin);
    // The ink box holds the ink: its lower-left corner rounds down.
    const std::int32_t jobLeft =
        g.ink_ps ? floor32(g.ink_ps->llx)
                 : floorHalfUp32(add32(g.min_x_units, g.offset_x_units) * kPsPerZarn);
    const std::int32_t jobBottom =
        g.ink_ps ? floor32(g.ink_ps->lly)
                 : floorHalfUp32(add32(g.offset_y_units, g.min_y_units) * kPsPerZarn);

    requireHeaderLine(c, 5, true);
    out.line("%%BoundingBox: " + intText(jobLeft) + " " + intText(jobBottom) + " " +
             intText(pageWidth) + " " + intText(pageHeight));
    if (g.ink_ps) {
        // The ink itself and the margins the user set, not those that stand in for none.
        const std::int32_t userEnd = s.marge != 0 ? endMargin : 0;
        const std::int32_t userWidth = s.breedte != 0 ? widthMargin : 0;
        const InkExtent& ink = *g.ink_ps;
        out.line("%%HiResBoundingBox: " + fixedText(ink.llx, 3) + " " + fixedText(ink.lly, 3) +
                 " " + fixedText(ink.urx + userWidth, 3) + " " + fixedText(ink.ury + userEnd, 3));
    }
    const PageBox page = pageBox(s, pageWidth, pageHeight);
    recordBoxes(c, jobLeft, jobBottom, pageWidth, pageHeight, page);
    // A document for spoolers names its page in the page itself, and sets it up in its
    // set-up (the page transform writes both).
    const bool spooled = spooledDocument(s);
    if (print && page.present && spooled) {
        const auto [width, height] = pageSetUp(c.written);
        out.line("%%DocumentMedia: " + mediaName(width, height) + " " + intText(width) + " " +
                 intText(height) + " 0 () ()");
        out.line("%%Pages: 1");
    } else if (print && page.present) {
        out.line("%%PageBoundingBox: 0 0" + page.sides);
    }
    requireHeaderLine(c, 6, true);
    copyLine(c);
    if (print && page.present) {
        const bool forced = s.Force_A4 != 0 || s.Force_A3 != 0;
        const std::string orientation = forced ? signedItem(s.kantel) + " " : " 1 ";
        c.written.pageLine = "{statusdict begin" + page.sides + " 0" + orientation +
                             "setpageparams end} stopped pop";
        if (!spooled) out.line(c.written.pageLine);
    }
}

std::pair<std::int32_t, std::int32_t> pageSetUp(const WrittenBoxes& w) {
    return w.turned ? std::pair(w.pageHeight, w.pageWidth) : std::pair(w.pageWidth, w.pageHeight);
}

std::string mediaName(std::int32_t width, std::int32_t height) {
    return "Custom." + intText(width) + "x" + intText(height);
}

}  // namespace zarn
