// The analysis pass: header scan, job geometry and the geometry report written between them.
#pragma once

#include "conversion_state.h"

namespace zarn {

// Header scan: checks lines 1 to 6, writes the version line and the bounding-box block.
void scanHeader(ConversionState& c);

// Job geometry.
void computePageDimensions(JobSettings& s);
void scanScaleWindow(ConversionState& c);
void applyVersion7Correction(JobGeometry& g);
// A body of `splitFrom` bytes or more is scanned in two halves at once.
inline constexpr std::uint64_t kSplitScanBytes = 8 << 20;
void scanBody(ConversionState& c, std::uint64_t splitFrom = kSplitScanBytes);
// Print mode (`print`) keeps the ink box on the page.
void scaleExtremesAndSize(JobGeometry& g, bool print);
// The raw units of the rewritten translate line for an origin of `offsetUnits` Zarn units.
std::int32_t translateRaw(std::int32_t offsetUnits, float scale);
// The x and y of a line "x y ...": first word of the first p1 characters, and of the
// p2 - p1 characters from p1 (1-based blank positions), each to 32 bits, ties to even.
void readXY(std::string_view line, std::size_t p1, std::size_t p2, std::int32_t& x,
            std::int32_t& y);

// Geometry report, one function a block.
void reportBoundingBox(ConversionState& c);
void reportOriginAndScale(ConversionState& c);
void reportExtremesAndSize(ConversionState& c);
void reportVerdictAndMargins(ConversionState& c);
void reportForcedPage(ConversionState& c);

// The whole pass, in its order.
void runAnalysisPass(ConversionState& c);

}  // namespace zarn
