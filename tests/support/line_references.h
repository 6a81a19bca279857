// The body rules and the body scan a line at a time, as they read. The engine streams; the
// tests hold its results against these.
#pragma once

#include <string>

#include "conversion_state.h"
#include "rewrite_pass.h"

namespace zarn::testing {

// The line-width rule, the colour rules in the order of the colour table, the page-end rule.
void applyBodyRules(std::string& line, const BodyRules& rules);
// The rest of the input through applyBodyRules, a line at a time.
BodyEnd rewriteBodyByLines(InputStream& in, OutputFile& out, const BodyRules& rules);
// The extremes of the "x y l" lines of the rest of the input, a line at a time; with the ink
// box, the ink of the "x y l" and "x y m" points, each widened by half the pen in force.
void scanBodyByLines(ConversionState& c);

}  // namespace zarn::testing
