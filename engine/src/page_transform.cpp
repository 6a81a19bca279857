// After the header: a version-7 job's own page set-up goes, the translate line is rewritten,
// the body runs through its rules, and the job gets its ending.
#include <cmath>

#include "analysis_pass.h"
#include "rewrite_pass.h"
#include "zarn/conversion_error.h"
#include "zarn/numbers.h"

namespace zarn {

namespace {

// Exactly four lines, each decided by itself.
void version7Cleanup(ConversionState& c) {
    const Line& line = c.current_line;
    c.input.readLine(c.current_line);
    if (!(line.beginsWith("{") && line.contains("statusdict"))) copyLine(c);
    c.input.readLine(c.current_line);
    copyLine(c);
    c.input.readLine(c.current_line);
    if (!(line.beginsWith("0 ") && line.contains("translate"))) copyLine(c);
    c.input.readLine(c.current_line);
    if (!(line.beginsWith("1 -1") && line.contains("scale"))) copyLine(c);
}

std::string translateLine(const JobGeometry& g) {
    if (g.zarn_scale == 0.0f)
        throw ConversionError(
            "division by zero: a translate line needs a scale, and none was found");
    // The shift is the ink box's, in print mode; 0 otherwise.
    const std::int32_t x = add32(translateRaw(g.offset_x_units, g.zarn_scale), g.shift_x_raw);
    const std::int32_t y = add32(translateRaw(g.offset_y_units, g.zarn_scale), g.shift_y_raw);
    return intText(x) + " " + intText(y) + " translate";
}

void translateWindow(ConversionState& c) {
    std::string replacement;  // made when first needed: without a scale it cannot be
    for (int n = 0; n < kScaleWindowLines; ++n) {
        c.input.readLine(c.current_line);
        if (!c.current_line.contains("translate")) {
            copyLine(c);
            continue;
        }
        if (replacement.empty())
            replacement = causedByLine(c.input.linesRead(), [&] { return translateLine(c.geo); });
        c.output.line(replacement);
        c.current_line.clear();
    }
}

void writeTail(ConversionState& c, BodyEnd end) {
    const bool eps = c.settings.pageregel == 0;
    if (end == BodyEnd::NoLines) {
        const Line& last = c.current_line;
        if (eps)
            end = last == "%%EOF" ? BodyEnd::EofMark : BodyEnd::Other;
        else
            end = last == std::string_view(&kEndOfJob, 1) ? BodyEnd::EndOfJob : BodyEnd::Other;
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
    c.input.open(c.folder.file(c.input_path));
    requireSameInput(c);
    // The output is not looked up by its name again: the name could lead elsewhere by now,
    // and the file stays locked.
    c.output.restart();
    writeOutputHeader(c);
    runPageTransform(c);
    requireSameInputReadWhole(c);
}

}  // namespace zarn
