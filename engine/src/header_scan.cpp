// Lines 1 to 6 of a Zarn1 print file: the header comments, the conversion mark, the version
// and the four %%BoundingBox numbers.
#include <algorithm>

#include "analysis_pass.h"
#include "zarn/texts.h"
#include "zarn/conversion_error.h"
#include "zarn/numbers.h"
#include "zarn/path_helpers.h"

namespace zarn {

namespace {

void requireHeaderLine(ConversionState& c, std::string_view beginning) {
    c.input.readLine(c.current_line);
    if (!beginsWith(c.current_line, beginning)) throw missingHeaderLine();
}

bool carriesConversionMark(std::string line) {
    std::transform(line.begin(), line.end(), line.begin(),
                   [](unsigned char ch) { return ch >= 'A' && ch <= 'Z' ? ch + 32 : ch; });
    return contains(line, "edit");
}

void writeVersionLine(ConversionState& c) {
    const bool en = c.english;
    std::string line = texts::kVersionLead.in(en);
    line += texts::kVersionNumber;
    line += c.version_word;
    line += texts::kVersionFound.in(en);
    c.log.line(line);
}

// Every single blank separates, so two blanks in a row make an empty field.
void takeBoundingBox(ConversionState& c) {
    const std::string& line = c.current_line;
    std::size_t p[4];
    std::size_t from = 0;
    for (std::size_t& blank : p) {
        blank = line.find(' ', from);
        if (blank == std::string::npos)
            throw ConversionError("invalid argument: the %%BoundingBox line holds fewer than four numbers");
        from = blank + 1;
    }
    const std::string_view view(line);
    auto value = [](std::string_view field) { return floor16(wordValue(field)); };
    c.geo.bbox_llx = value(view.substr(p[0], p[1] - p[0]));
    c.geo.bbox_lly = value(view.substr(p[1], p[2] - p[1]));
    c.geo.bbox_urx = value(view.substr(p[2], p[3] - p[2]));
    c.geo.bbox_ury = value(view.substr(p[3]));
}

}  // namespace

void scanHeader(ConversionState& c) {
    requireHeaderLine(c, "%!PS-Adobe");
    requireHeaderLine(c, "%%Creator");
    if (carriesConversionMark(c.current_line)) {
        throw ConversionError(FaultKind::ConvertedBefore, "the file was converted before");
    }
    c.geo.version7 = contains(c.current_line, "7.") ? 1 : 0;
    c.version_word = c.geo.version7 ? "" : texts::kVersionNot.in(c.english);
    writeVersionLine(c);
    requireHeaderLine(c, "%%Title");
    requireHeaderLine(c, "%%Creat");
    requireHeaderLine(c, "%%Boun");
    takeBoundingBox(c);
    reportBoundingBox(c);
    requireHeaderLine(c, "%%End");
}

}  // namespace zarn
