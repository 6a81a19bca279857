// What the written boxes promise, checked: from the geometry alone, and against the marks
// that Ghostscript finds in the output.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "conversion_state.h"
#include "ghostscript.h"

namespace zarn {

// Print mode: a job larger than its forced page, or one that starts left of or below the
// page, is cut on film. The lines are in the log's language.
std::vector<std::string> pageWarnings(const ConversionState& c);

// The marks against the written %%BoundingBox and, in print mode, the page: each side that
// sticks out by more than the rounding of whole PS units, with its distance in mm. None for
// marks: nothing is drawn. `passed` is false when any side sticks out.
struct BoxCheck {
    bool passed = true;
    std::vector<std::string> lines;
};
BoxCheck checkMarks(const ConversionState& c, const std::optional<InkExtent>& marks);

// Why the marks cannot be checked against the written boxes, or nothing: the box, or the page,
// reaches further from the origin than Ghostscript measures.
std::string beyondMeasuredReach(const WrittenBoxes& w);

}  // namespace zarn
