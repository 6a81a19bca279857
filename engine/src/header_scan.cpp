// Lines 1 to 6 of a Zarn1 print file: the header comments, the conversion mark, the version
// and the four %%BoundingBox numbers.
#include "analysis_pass.h"
#include "zarn/conversion_error.h"
#include "zarn/numbers.h"
#include "zarn/texts.h"

namespace zarn {

namespace {

void writeVersionLine(ConversionState& c) {
    const bool en = c.english;
    std::string line = texts::kVersionLead.in(en);
    line += texts::kVersionNumber;
    line += c.version_word;
    line += texts::kVersionFound.in(en);
    c.log.line(line);
}

// Every single blank separates, so two blanks in a row make an empty field; the fourth field
// is the first word of the rest of the line. The line streams past the four number readers.
void takeBoundingBox(ConversionState& c) {
    NumberScanner field[4];
    int blanks = 0;
    bool lastWordBegun = false;
    c.current_line.forEachPiece([&](std::string_view piece) {
        for (const char ch : piece) {
            if (blanks < 4) {
                if (ch == ' ')
                    ++blanks;
                else if (blanks > 0)
                    field[blanks - 1].feed(ch);
            } else if (ch != ' ') {
                lastWordBegun = true;
                if (!field[3].feed(ch)) return false;
            } else if (lastWordBegun) {
                return false;
            }
        }
        return true;
    });
    if (blanks < 4)
        throw ConversionError(
            "invalid argument: the %%BoundingBox line holds fewer than four numbers");
    c.geo.bbox_llx = floor16(field[0].value());
    c.geo.bbox_lly = floor16(field[1].value());
    c.geo.bbox_urx = floor16(field[2].value());
    c.geo.bbox_ury = floor16(field[3].value());
}

}  // namespace

void scanHeader(ConversionState& c) {
    requireHeaderLine(c, 1, false);
    requireHeaderLine(c, 2, false);
    // The mark the rewrite pass puts into this line, in any case.
    if (c.current_line.contains("edit", true))
        throw ConversionError(FaultKind::ConvertedBefore, "the file was converted before");
    c.geo.version7 = c.current_line.contains("7.") ? 1 : 0;
    c.version_word = c.geo.version7 ? "" : texts::kVersionNot.in(c.english);
    writeVersionLine(c);
    requireHeaderLine(c, 3, false);
    requireHeaderLine(c, 4, false);
    requireHeaderLine(c, 5, false);
    // Its numbers are the line's: a failure with them names it.
    causedByLine(c.input.linesRead(), [&] {
        takeBoundingBox(c);
        reportBoundingBox(c);
    });
    requireHeaderLine(c, 6, false);
}

}  // namespace zarn
