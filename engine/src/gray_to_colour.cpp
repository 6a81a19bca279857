// The body rules a line at a time: line width, gray to colour, page end.
#include "gray_to_colour.h"

#include <array>
#include <string>

#include "zarn/colour_boxes.h"

#include "rewrite_pass.h"

namespace zarn {

namespace {

constexpr char kEndOfJob = '\x04';

std::array<std::string, kColourBoxCount> buildReplacements() {
    std::array<std::string, kColourBoxCount> texts;
    for (std::size_t i = 0; i < kColourBoxCount; ++i) {
        const ColourBox& box = kColourBoxes[i];
        texts[i] = std::string("%% 0.") + box.grayDigit + " g\r\n" + std::string(box.colourLine);
    }
    return texts;
}

// Every occurrence, left to right; the inserted text is not searched again.
void replaceAll(std::string& line, std::string_view what, std::string_view with) {
    std::size_t at = line.find(what);
    while (at != std::string::npos) {
        line.replace(at, what.size(), with);
        at = line.find(what, at + with.size());
    }
}

}  // namespace

std::string_view colourReplacement(char digit) {
    static const std::array<std::string, kColourBoxCount> texts = buildReplacements();
    return texts[colourBoxOfDigit(digit)];
}

BodyRules bodyRulesFor(const JobSettings& s) {
    BodyRules rules;
    rules.eps = s.pageregel == 0;
    for (std::size_t i = 0; i < kColourBoxCount; ++i)
        rules.colour[static_cast<std::size_t>(kColourBoxes[i].grayDigit - '0')] = s.colourTicked[i];
    return rules;
}

void applyBodyRules(std::string& line, const BodyRules& rules) {
    if (line.size() < 5 && line.compare(0, 3, "2 w") == 0 && line.size() >= 3) line = "10 w";
    for (const ColourBox& box : kColourBoxes) {
        if (!rules.colour[static_cast<std::size_t>(box.grayDigit - '0')]) continue;
        const char searched[] = {'0', '.', box.grayDigit, ' ', 'g'};
        replaceAll(line, std::string_view(searched, 5), colourReplacement(box.grayDigit));
    }
    if (!rules.eps) {
        replaceAll(line, "showpage", "0.0 g\r\nshowpage");
    } else {
        replaceAll(line, "showpage", "0.0 g");
        replaceAll(line, std::string_view(&kEndOfJob, 1), "%%EOF");
    }
}

}  // namespace zarn
