#include "line_references.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string_view>

#include "analysis_pass.h"
#include "gray_to_colour.h"
#include "zarn/colour_boxes.h"
#include "zarn/numbers.h"

namespace zarn::testing {

namespace {

// Every occurrence, left to right; the inserted text is not searched again.
void replaceAll(std::string& line, std::string_view what, std::string_view with) {
    std::size_t at = line.find(what);
    while (at != std::string::npos) {
        line.replace(at, what.size(), with);
        at = line.find(what, at + with.size());
    }
}

BodyEnd classify(const std::string& line, bool eps) {
    if (eps) return line == "%%EOF" ? BodyEnd::EofMark : BodyEnd::Other;
    return line.size() == 1 && line[0] == kEndOfJob ? BodyEnd::EndOfJob : BodyEnd::Other;
}

// The next line as a view into the input's buffer, valid until the next read; false at the end.
bool nextLine(InputStream& in, std::string_view& line) {
    if (in.available() == 0 && in.fill(1) == 0) return false;
    std::size_t scanned = 0;
    for (;;) {
        const char* start = in.data();
        const std::size_t avail = in.available();
        const void* cr = std::memchr(start + scanned, '\r', avail - scanned);
        if (cr != nullptr) {
            const std::size_t len = static_cast<std::size_t>(static_cast<const char*>(cr) - start);
            if (len + 1 == avail && !in.atEof()) {  // is an LF next?
                scanned = len;
                in.fill(avail + 1);
                continue;
            }
            std::size_t used = len + 1;
            if (used < avail && start[used] == '\n') ++used;
            line = std::string_view(start, len);
            in.consume(used);
            in.countLines(1);
            return true;
        }
        if (in.atEof()) {
            line = std::string_view(start, avail);
            in.consume(avail);
            in.countLines(1);
            return true;
        }
        scanned = avail;
        in.fill(avail + 1);
    }
}

}  // namespace

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

BodyEnd rewriteBodyByLines(InputStream& in, OutputFile& out, const BodyRules& rules) {
    std::string line;
    bool any = false;
    std::string_view read;
    while (nextLine(in, read)) {
        line.assign(read);
        applyBodyRules(line, rules);
        out.line(line);
        any = true;
    }
    return any ? classify(line, rules.eps) : BodyEnd::NoLines;
}

void scanBodyByLines(ConversionState& c) {
    JobGeometry& g = c.geo;
    const bool ink = c.settings.inkBox;
    double half = 0.5;  // of the pen in force
    std::string_view line;
    while (nextLine(c.input, line)) {
        const std::size_t p1 = line.find(' ');
        if (p1 == line.npos) continue;
        const std::size_t p2 = line.find(' ', p1 + 1);
        if (ink && line.substr(p1 + 1, p2 - p1 - 1) == "w")
            half = (line.size() < 5 && line.starts_with("2 w")
                        ? 10.0
                        : std::fabs(wordValue(line.substr(0, p1 + 1)))) /
                   2;
        if (p2 == line.npos || p2 + 1 >= line.size()) continue;
        if (line[p2 + 1] != 'l' && !(ink && line[p2 + 1] == 'm')) continue;
        // Read as the rules say, not by the engine's fast reader: the first word of the first
        // p1 characters, and of the p2 - p1 characters from p1.
        const std::int32_t x = roundEven32(wordValue(line.substr(0, p1)));
        const std::int32_t y = roundEven32(wordValue(line.substr(p1, p2 - p1)));
        if (ink) {
            const InkExtent mark{x - half, y - half, x + half, y + half};
            g.ink_raw = g.ink_raw ? unite(*g.ink_raw, mark) : mark;
            continue;
        }
        g.max_x_units = std::max(g.max_x_units, x);
        g.max_y_units = std::max(g.max_y_units, y);
        g.min_x_units = std::min(g.min_x_units, x);
        g.min_y_units = std::min(g.min_y_units, y);
    }
}

}  // namespace zarn::testing
