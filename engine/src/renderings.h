// What Ghostscript makes of a completed output when the settings ask for it: a PDF of the job
// and a preview picture with the written boxes framed, beside the output.
#pragma once

#include <string>

#include "conversion_state.h"
#include "ghostscript.h"
#include "zarn/platform.h"

namespace zarn {

// The PDF's page is the output's: the page that the page parameter line sets in print mode,
// the %%BoundingBox in EPS mode.
GhostscriptJob pdfJob(const WrittenBoxes& boxes, bool eps);

// A PNG of the page (print mode) or of the %%BoundingBox (EPS mode) at `dpi`. Over the job, in
// a colour that no colour rule or gray level gives, a frame one pixel wide runs along the
// inside of the picture's edge and, in print mode, of the %%BoundingBox.
GhostscriptJob previewJob(const WrittenBoxes& boxes, bool eps, int dpi);

// Writes the PDF and the preview that the settings ask for, each in place of a file of its
// name once it is complete and holds the page asked for; a rendering that fails leaves no file
// of its name. `platform` hears how Ghostscript gets on. Throws ConversionError.
struct Renderings {
    std::string pdf, preview;  // the paths written; empty for one not asked for
};
Renderings writeRenderings(ConversionState& c, Platform& platform);

}  // namespace zarn
