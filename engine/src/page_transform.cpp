// After the header: a version-7 job's own page set-up goes, the translate line is rewritten,
// the body runs through its rules, and the job gets its ending.
#include <cmath>

#include "rewrite_pass.h"
#include "zarn/conversion_error.h"
#include "zarn/numbers.h"

namespace zarn {

namespace {

// Exactly four lines, each decided by itself.
void version7Cleanup(ConversionState& c) {
    std::string& line = c.current_line;
    c.input.readLine(line);
    if (!(beginsWith(line, "{") && contains(line, "statusdict"))) c.output.line(line);
    c.input.readLine(line);
    c.output.line(line);
    c.input.readLine(line);
    if (!(beginsWith(line, "0 ") && contains(line, "translate"))) c.output.line(line);
    c.input.readLine(line);
    if (!(beginsWith(line, "1 -1") && contains(line, "scale"))) c.output.line(line);
}

std::string translateLine(const JobGeometry& g) {
    if (g.zarn_scale == 0.0f)
        throw ConversionError("division by zero: a translate line needs a scale, and none was found");
    const double scale = g.zarn_scale;
    const std::int32_t x = floorHalfUp32(g.offset_x_units / scale);
    const std::int32_t y = floorHalfUp32(g.offset_y_units / scale);
    return intText(x) + " " + intText(y) + " translate";
}

void translateWindow(ConversionState& c) {
    std::string replacement;  // made when first needed: without a scale it cannot be
    for (int n = 0; n < kScaleWindowLines; ++n) {
        c.input.readLine(c.current_line);
        if (!contains(c.current_line, "translate")) {
            c.output.line(c.current_line);
            continue;
        }
        if (replacement.empty()) replacement = translateLine(c.geo);
        c.output.line(replacement);
        c.current_line.clear();
    }
}

void writeTail(ConversionState& c, BodyEnd end) {
    const bool eps = c.settings.pageregel == 0;
    if (end == BodyEnd::NoLines) {
        const std::string& last = c.current_line;
        if (eps)
            end = last == "%%EOF" ? BodyEnd::EofMark : BodyEnd::Other;
        else
            end = last.size() == 1 && last[0] == kEndOfJob ? BodyEnd::EndOfJob : BodyEnd::Other;
    }
    if (eps && end != BodyEnd::EofMark) c.output.line("%%EOF");
    if (!eps && end != BodyEnd::EndOfJob) c.output.line(std::string_view(&kEndOfJob, 1));
}

}  // namespace

void runPageTransform(ConversionState& c) {
    if (c.geo.version7) version7Cleanup(c);
    translateWindow(c);
    const BodyEnd end = rewriteBody(c.input, c.output, bodyRulesFor(c.settings));
    writeTail(c, end);
}

void runRewritePass(ConversionState& c) {
    c.input.open(c.input_path);
    c.output.create(c.output_path);
    writeOutputHeader(c);
    runPageTransform(c);
}

}  // namespace zarn
