// What replaces a translated gray level, and the body rules of one conversion.
#include "gray_to_colour.h"

#include <array>
#include <string>

#include "zarn/colour_boxes.h"

#include "rewrite_pass.h"

namespace zarn {

namespace {

std::array<std::string, kColourBoxCount> buildReplacements() {
    std::array<std::string, kColourBoxCount> texts;
    for (std::size_t i = 0; i < kColourBoxCount; ++i) {
        const ColourBox& box = kColourBoxes[i];
        texts[i] = std::string("%% 0.") + box.grayDigit + " g\r\n" + std::string(box.colourLine);
    }
    return texts;
}

}  // namespace

std::string_view colourReplacement(char digit) {
    static const std::array<std::string, kColourBoxCount> texts = buildReplacements();
    return texts[colourBoxOfDigit(digit)];
}

BodyRules bodyRulesFor(const JobSettings& s) {
    BodyRules rules;
    rules.eps = s.pageregel == 0;
    rules.dsc = spooledDocument(s);
    for (std::size_t i = 0; i < kColourBoxCount; ++i)
        rules.colour[static_cast<std::size_t>(kColourBoxes[i].grayDigit - '0')] = s.colourTicked[i];
    return rules;
}

}  // namespace zarn
