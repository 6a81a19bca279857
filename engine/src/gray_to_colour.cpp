// The body rules a line at a time: line width, gray to colour, page end.
#include "gray_to_colour.h"

#include <string>

#include "rewrite_pass.h"

namespace zarn {

namespace {

constexpr char kEndOfJob = '\x04';

std::array<std::string, 10> buildReplacements() {
    std::array<std::string, 10> texts;
    for (const ColourRule& rule : kColourTable) {
        const int d = rule.digit - '0';
        texts[d] = std::string("%% 0.") + rule.digit + " g\r\n" + std::string(rule.colourLine);
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
    static const std::array<std::string, 10> texts = buildReplacements();
    return texts[digit - '0'];
}

BodyRules bodyRulesFor(const JobSettings& s) {
    BodyRules rules;
    rules.eps = s.pageregel == 0;
    for (const ColourRule& rule : kColourTable) rules.colour[rule.digit - '0'] = s.*rule.ticked;
    return rules;
}

void applyBodyRules(std::string& line, const BodyRules& rules) {
    if (line.size() < 5 && line.compare(0, 3, "2 w") == 0 && line.size() >= 3) line = "10 w";
    for (const ColourRule& rule : kColourTable) {
        if (!rules.colour[rule.digit - '0']) continue;
        const char searched[] = {'0', '.', rule.digit, ' ', 'g'};
        replaceAll(line, std::string_view(searched, 5), colourReplacement(rule.digit));
    }
    if (!rules.eps) {
        replaceAll(line, "showpage", "0.0 g\r\nshowpage");
    } else {
        replaceAll(line, "showpage", "0.0 g");
        replaceAll(line, std::string_view(&kEndOfJob, 1), "%%EOF");
    }
}

}  // namespace zarn
