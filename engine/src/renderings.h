// What Ghostscript makes of a completed output when the settings ask for it: a PDF of the job
// and a preview picture with the written boxes framed, beside the output.
#pragma once

#include <string>

#include "conversion_state.h"
#include "ghostscript.h"

namespace zarn {

// The PDF's page is the output's: the page that the page parameter line sets in print mode,
// the %%BoundingBox in EPS mode.
GhostscriptCommand pdfCommand(const std::string& output, bool eps);

// A PNG of the page (print mode) or of the %%BoundingBox (EPS mode) at `dpi`. Over the job, in
// a colour that no colour rule or gray level gives, a frame one pixel wide runs along the
// inside of the picture's edge and, in print mode, of the %%BoundingBox.
GhostscriptCommand previewCommand(const std::string& output, const WrittenBoxes& boxes, bool eps,
                                  int dpi);

// Writes the PDF and the preview that the settings ask for, each replacing a file of its name
// as the output does. A file that Ghostscript could not finish is removed. Throws
// ConversionError.
struct Renderings {
    std::string pdf, preview;  // the paths written; empty for one not asked for
};
Renderings writeRenderings(ConversionState& c);

}  // namespace zarn
