// After the header: a version-7 job's own page set-up goes, the translate line is rewritten,
// the body runs through its rules, and the job gets its ending.
#include <cmath>
#include <string>
#include <vector>

#include "analysis_pass.h"
#include "rewrite_pass.h"
#include "zarn/conversion_error.h"
#include "zarn/numbers.h"

namespace zarn {

namespace {

// The lines before the body, copied as they come; in a document for spoolers sorted into its
// parts instead: definitions into the prolog, the rest into the page's set-up, where the
// scale, the translate and the graphics state belong, and the input's own "%%" structure gone.
// A line is kept as where it lies in the input, so long lines cost no memory.
class SetupLines {
public:
    explicit SetupLines(ConversionState& c) : c_(c), sorted_(spooledDocument(c.settings)) {}

    // The line read last, as it is.
    void copy() {
        const Line& line = c_.current_line;
        if (!sorted_) return copyLine(c_);
        if (line.beginsWith("%%")) return;
        entries_.push_back({line, {}, line.beginsWith("/")});
    }
    // A line of ours in the place of the line read last.
    void write(const std::string& text) {
        if (!sorted_) return c_.output.line(text);
        entries_.push_back({{}, text, false});
    }
    // The document's parts up to its page's content.
    void finish() {
        if (!sorted_) return;
        OutputFile& out = c_.output;
        out.line("%%BeginProlog");
        writeEntries(true);
        out.line("%%EndProlog");
        out.line("%%BeginSetup");
        const WrittenBoxes& w = c_.written;
        const auto [width, height] = pageSetUp(w);
        if (w.page) {
            // The page is asked for where a spooler puts its own, after it.
            out.line("%%BeginFeature: *PageSize " + mediaName(width, height));
            out.line("<< /PageSize [" + intText(width) + " " + intText(height) +
                     "] >> setpagedevice");
            out.line("%%EndFeature");
            out.line(w.pageLine);
        }
        out.line("%%EndSetup");
        out.line("%%Page: 1 1");
        if (w.page) out.line("%%PageBoundingBox: 0 0 " + intText(width) + " " + intText(height));
        out.line("%%BeginPageSetup");
        writeEntries(false);
        out.line("%%EndPageSetup");
    }

private:
    struct Entry {
        Line line;
        std::string text;  // ours, when not empty
        bool definition;
    };
    void writeEntries(bool definitions) {
        for (const Entry& e : entries_) {
            if (e.definition != definitions) continue;
            if (e.text.empty()) {
                e.line.copyTo(c_.output);
                c_.output.write("\r\n", 2);
            } else {
                c_.output.line(e.text);
            }
        }
    }

    ConversionState& c_;
    const bool sorted_;
    std::vector<Entry> entries_;
};

// Exactly four lines, each decided by itself.
void version7Cleanup(ConversionState& c, SetupLines& lines) {
    const Line& line = c.current_line;
    c.input.readLine(c.current_line);
    if (!(line.beginsWith("{") && line.contains("statusdict"))) lines.copy();
    c.input.readLine(c.current_line);
    lines.copy();
    c.input.readLine(c.current_line);
    if (!(line.beginsWith("0 ") && line.contains("translate"))) lines.copy();
    c.input.readLine(c.current_line);
    if (!(line.beginsWith("1 -1") && line.contains("scale"))) lines.copy();
}

std::string translateLine(const JobGeometry& g) {
    if (g.zarn_scale == 0.0f)
        throw ConversionError(
            "division by zero: a translate line needs a scale, and none was found");
    // The shift is the ink box's, in print mode; 0 otherwise.
    const std::int32_t x = add32(translateRaw(g.offset_x_units, g.zarn_scale), g.shift_x_raw);
    const std::int32_t y = add32(translateRaw(g.offset_y_units, g.zarn_scale), g.shift_y_raw);
    return intText(x) + " " + intText(y) + " translate";
}

void translateWindow(ConversionState& c, SetupLines& lines) {
    std::string replacement;  // made when first needed: without a scale it cannot be
    for (int n = 0; n < kScaleWindowLines; ++n) {
        c.input.readLine(c.current_line);
        if (!c.current_line.contains("translate")) {
            lines.copy();
            continue;
        }
        if (replacement.empty())
            replacement = causedByLine(c.input.linesRead(), [&] { return translateLine(c.geo); });
        lines.write(replacement);
        c.current_line.clear();
    }
}

void writeTail(ConversionState& c, BodyEnd end) {
    const bool eps = c.settings.pageregel == 0;
    if (end == BodyEnd::NoLines) {
        const Line& last = c.current_line;
        if (eps)
            end = last == "%%EOF" ? BodyEnd::EofMark : BodyEnd::Other;
        else
            end = last == std::string_view(&kEndOfJob, 1) ? BodyEnd::EndOfJob : BodyEnd::Other;
    }
    if (eps && end != BodyEnd::EofMark) c.output.line("%%EOF");
    // A document for spoolers ends with its trailer; the body's own is a plain comment now.
    if (!eps && spooledDocument(c.settings)) {
        c.output.line("%%Trailer");
        c.output.line("%%EOF");
    }
    if (!eps && end != BodyEnd::EndOfJob) c.output.line(std::string_view(&kEndOfJob, 1));
}

}  // namespace

void runPageTransform(ConversionState& c) {
    SetupLines lines(c);
    if (c.geo.version7) version7Cleanup(c, lines);
    translateWindow(c, lines);
    lines.finish();
    const BodyEnd end = rewriteBody(c.input, c.output, bodyRulesFor(c.settings));
    writeTail(c, end);
}

void runRewritePass(ConversionState& c) {
    c.input.open(c.folder.file(c.input_path));
    requireSameInput(c);
    // The output is not looked up by its name again: the name could lead elsewhere by now,
    // and the file stays locked.
    c.output.restart();
    writeOutputHeader(c);
    runPageTransform(c);
    requireSameInputReadWhole(c);
}

}  // namespace zarn
