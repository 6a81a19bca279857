#include "analysis_pass.h"

namespace zarn {

void runAnalysisPass(ConversionState& c) {
    c.input_read = c.input.identity();  // what the rewrite pass must find again
    scanHeader(c);                      // writes the version line and the bounding-box block
    scanScaleWindow(c);
    applyVersion7Correction(c.geo);
    reportOriginAndScale(c);
    scanBody(c);
    requireSameInputReadWhole(c);
    c.input.close();
    scaleExtremesAndSize(c.geo, c.settings.pageregel == 1);
    reportExtremesAndSize(c);
    reportVerdictAndMargins(c);
    reportForcedPage(c);
}

}  // namespace zarn
