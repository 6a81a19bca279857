// The rewrite pass: output header, page transform with the body rules, and the tail.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <utility>

#include "conversion_state.h"

namespace zarn {

void writeOutputHeader(ConversionState& c);
// The sides of the page the page line sets up: a rotated forced page turned.
std::pair<std::int32_t, std::int32_t> pageSetUp(const WrittenBoxes& w);
// The medium of that page, as print spoolers name a size of their own: "Custom.452x555".
std::string mediaName(std::int32_t width, std::int32_t height);
// Writes the line read last to the output, then `more`, then the line end.
void copyLine(ConversionState& c, std::string_view more = {});
void runPageTransform(ConversionState& c);

// The whole pass: reopens the input and the output, then header and page transform.
void runRewritePass(ConversionState& c);

// The body rules for one conversion.
struct BodyRules {
    bool eps = false;
    // A document spoolers understand has its own structure: the body's "%%" comments become
    // plain comments.
    bool dsc = false;
    std::array<bool, 10> colour{};  // by the gray digit: colour[3] translates "0.3 g"
};
BodyRules bodyRulesFor(const JobSettings& s);

// How the body ended, for the tail rule.
enum class BodyEnd { NoLines, EndOfJob, EofMark, Other };

// Print mode as a document that spoolers understand (DSC).
inline bool spooledDocument(const JobSettings& s) { return s.pageregel == 1 && s.spooled(); }

// Copies the rest of the input to the output through the body rules, finding the few places
// where a rule can apply and copying the stretches between them in one piece.
BodyEnd rewriteBody(InputStream& in, OutputFile& out, const BodyRules& rules);

}  // namespace zarn
