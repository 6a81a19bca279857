#include "analysis_pass.h"

namespace zarn {

void runAnalysisPass(ConversionState& c) {
    scanHeader(c);  // writes the version line and the bounding-box block
    scanScaleWindow(c);
    applyVersion7Correction(c.geo);
    reportOriginAndScale(c);
    scanBody(c);
    c.input.close();
    scaleExtremesAndSize(c.geo);
    reportExtremesAndSize(c);
    reportVerdictAndMargins(c);
    reportForcedPage(c);
}

}  // namespace zarn
