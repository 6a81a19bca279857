// The rewrite pass: output header, page transform with the body rules, and the tail.
#pragma once

#include <array>

#include "conversion_state.h"

namespace zarn {

void writeOutputHeader(ConversionState& c);
// Writes the line read last to the output, then `more`, then the line end.
void copyLine(ConversionState& c, std::string_view more = {});
void runPageTransform(ConversionState& c);

// The whole pass: reopens the input and the output, then header and page transform.
void runRewritePass(ConversionState& c);

// The body rules for one conversion.
struct BodyRules {
    bool eps = false;
    std::array<bool, 10> colour{};  // by the gray digit: colour[3] translates "0.3 g"
};
BodyRules bodyRulesFor(const JobSettings& s);

// How the body ended, for the tail rule.
enum class BodyEnd { NoLines, EndOfJob, EofMark, Other };

// Copies the rest of the input to the output through the body rules, finding the few places
// where a rule can apply and copying the stretches between them in one piece.
BodyEnd rewriteBody(InputStream& in, OutputFile& out, const BodyRules& rules);

}  // namespace zarn
