// The report in the conversion log: the bounding box as the file states it, the origin and
// scale, the measured extremes and size, the verdict and margins, and the forced page.
#include <cmath>

#include "analysis_pass.h"
#include "zarn/numbers.h"
#include "zarn/texts.h"

namespace zarn {

namespace {

using namespace texts;

// PS units to mm, one decimal; v x 10 is a 16-bit product.
double mmB(std::int32_t v) { return std::floor(mul16(v, 10) * 25.4 / 72 + 0.5) / 10; }
// Zarn units to mm, one decimal; v x 10 is a 32-bit product.
double mmZ(std::int32_t v) { return std::floor(mul32(v, 10) * 0.01984375 + 0.5) / 10; }
double psZ(std::int32_t v) { return std::floor(v * kPsPerZarn + 0.5); }
double psZ1(std::int32_t v) { return std::floor(v * kPsPerZarn * 10 + 0.5) / 10; }
double mmZ1(std::int32_t v) { return std::floor(v * 0.5625 * 25.4 / 72 + 0.5) / 10; }
double mmP(std::int32_t v) { return std::floor(v * 25.4 / 72 * 10 + 0.5) / 10; }
// A difference in PS units to mm; d x 10 is a 32-bit product.
double mmD(std::int32_t d) { return std::floor(mul32(d, 10) / 72.0 * 25.4 + 0.5) / 10; }

std::string statedLine(const char* label, std::int16_t v) {
    return label + logInt(v) + " PS units = " + logReal(mmB(v)) + " mm";
}

std::string statedLineWithJob(const char* label, std::int16_t v, std::int16_t low,
                              const char* jobOnly) {
    return label + logInt(v) + " PS units = " + logReal(mmB(v)) + jobOnly +
           logReal(mmB(sub16(v, low))) + " mm";
}

std::string extremeLine(const char* label, std::int32_t v) {
    return label + logInt(v) + " ZARN units = " + logReal(psZ1(v)) +
           " PS units = " + logReal(mmZ1(v)) + " mm";
}

enum class Fit { Larger, OneOver, Fits, Smaller };

Fit compare(std::int32_t w, std::int16_t u) {
    const std::int16_t above = add16(u, 1);
    const std::int16_t below = sub16(u, 5);
    if (w > above) return Fit::Larger;
    if (w == above) return Fit::OneOver;
    if (w >= below) return Fit::Fits;
    return Fit::Smaller;
}

}  // namespace

void reportBoundingBox(ConversionState& c) {
    const bool en = c.english;
    const JobGeometry& g = c.geo;
    OutputFile& log = c.log;
    log.line(" ");
    log.line(kStatedHeading.in(en));
    log.line(" ");
    log.line(statedLine(kStatedOriginX.in(en), g.bbox_llx));
    log.line(statedLine(kStatedOriginY.in(en), g.bbox_lly));
    log.line(statedLineWithJob(kStatedMaxX.in(en), g.bbox_urx, g.bbox_llx, kJobOnly.in(en)));
    log.line(statedLineWithJob(kStatedMaxY.in(en), g.bbox_ury, g.bbox_lly, kJobOnly.in(en)));
    log.line("  ");
}

void reportOriginAndScale(ConversionState& c) {
    const bool en = c.english;
    const JobGeometry& g = c.geo;
    OutputFile& log = c.log;
    log.line(kMeasuredHeading.in(en));
    log.line(" ");
    if (!g.translate_found) {
        log.line(kNoTranslate.in(en));
        log.line(" ");
        return;
    }
    log.line(std::string(kZeroOffset.in(en)) + "X =" + logInt(g.origin_x_units) + kAndY.in(en) +
             logInt(g.origin_y_units) + "Zarn units, " + "X =" + logReal(mmZ(g.origin_x_units)) +
             kMmAndY.in(en) + logReal(mmZ(g.origin_y_units)) + "mm,");
    if (g.version7) {
        log.line(" ");
        log.line(std::string(kV7Offset.in(en)) + "X =" + logInt(g.offset_x_units) + kAndY.in(en) +
                 logInt(g.offset_y_units) + "Zarn units, ");
        log.line("X =" + logReal(mmZ(g.offset_x_units)) + kMmAndY.in(en) +
                 logReal(mmZ(g.offset_y_units)) + "mm");
    }
    log.line(std::string(kInPostScript.in(en)) + kPsX.in(en) + logReal(psZ(g.offset_x_units)) +
             kPsAndY.in(en) + logReal(psZ(g.offset_y_units)) + "PS units ");
    log.line(" ");
    log.line(std::string(kScale.in(en)) + (g.zarn_scale < 0 ? "" : " ") + singleText(g.zarn_scale) +
             " ");
    log.line(" ");
}

void reportExtremesAndSize(ConversionState& c) {
    const bool en = c.english;
    const JobGeometry& g = c.geo;
    OutputFile& log = c.log;
    log.line(" ");
    log.line(std::string(78, '-'));
    log.line(" ");
    log.line(extremeLine(kMaxX.in(en), g.max_x_units));
    log.line(extremeLine(kMaxY.in(en), g.max_y_units));
    log.line(" ");
    log.line(extremeLine(kOriginX.in(en), g.min_x_units));
    log.line(extremeLine(kOriginY.in(en), g.min_y_units));
    log.line(" ");
    log.line(std::string(kJobSize.in(en)) + "X = " + logReal(mmP(g.job_width_ps)) + kAnd.in(en) +
             "Y = " + logReal(mmP(g.job_height_ps)) + "mm");
    log.line(" ");
}

void reportVerdictAndMargins(ConversionState& c) {
    const bool en = c.english;
    const JobGeometry& g = c.geo;
    const JobSettings& s = c.settings;
    OutputFile& log = c.log;

    // The pieces are written as they are made: a failure leaves what came before in the log.
    switch (compare(g.job_width_ps, g.bbox_urx)) {
        case Fit::Larger:
            log.write(kXLarger.in(en) + logReal(mmD(sub32(g.job_width_ps, g.bbox_urx))) + "mm)   ");
            break;
        case Fit::OneOver: break;
        case Fit::Fits: log.line(kXFits.in(en)); break;
        case Fit::Smaller:
            log.write(kXSmaller.in(en) + logReal(mmD(sub32(g.bbox_urx, g.job_width_ps))) +
                      "mm)   ");
            break;
    }
    switch (compare(g.job_height_ps, g.bbox_ury)) {
        case Fit::Larger:
            log.write(kYLarger.in(en) + logReal(mmD(sub32(g.job_height_ps, g.bbox_ury))) + "mm)  ");
            break;
        case Fit::OneOver: break;
        case Fit::Fits: log.write(kYFits.in(en)); break;
        case Fit::Smaller:
            log.write(kYSmaller.in(en) + logReal(mmD(sub32(g.bbox_ury, g.job_height_ps))) +
                      "mm)  ");
            break;
    }
    log.line(" ");

    if (s.marge_opvul.empty()) return;
    const double h = g.job_height_ps, w = g.job_width_ps;
    const double mmE = std::floor((h * 25.4 / 72 + s.marge) * 10 + 0.5) / 10;
    const double mmW = std::floor((w * 25.4 / 72 + s.breedte) * 10 + 0.5) / 10;
    log.line(" Plus" + logInt(s.marge) + kEndMargin.in(en) + kMarginY.in(en) + logReal(mmE) +
             ", plus" + logInt(s.breedte) + kExtraWidth.in(en) + kWidthX.in(en) + logReal(mmW) +
             " ");
    const std::int16_t width72 = causedByField("width", [&] { return mul16(s.breedte, 72); });
    const std::int16_t margin72 = causedByField("end margin", [&] { return mul16(s.marge, 72); });
    const double psW = std::floor(width72 / 25.4 + w + 0.5);
    const double psE = std::floor(margin72 / 25.4 + h + 0.5);
    log.line(std::string(kThatMakesInPs.in(en)) + "X =" + logReal(psW) + kThatMakesAndY.in(en) +
             logReal(psE) + "PS units ");
    log.line(" ");
}

void reportForcedPage(ConversionState& c) {
    const bool en = c.english;
    const JobSettings& s = c.settings;
    if (s.pageregel != 1) return;
    const std::string cropNote =
        s.Crop_Factor == 1.0f ? "" : kCropFactorNote.in(en) + singleText(s.Crop_Factor) + " ";
    if (s.Force_A4 == 1)
        c.log.write(kForcedA4.in(en) + cropNote + kEventuallyX.in(en) + logInt(s.A4_kortPS) +
                    kEventuallyAndY.in(en) + logInt(s.A4_langPS) + "PS units " + s.CRLF);
    if (s.Force_A3 == 1)
        c.log.write(kForcedA3.in(en) + cropNote + kEventuallyX.in(en) + logInt(s.A4_langPS) +
                    kEventuallyAndY.in(en) + logInt(s.A3_langPS) + "PS units " + s.CRLF);
}

}  // namespace zarn
