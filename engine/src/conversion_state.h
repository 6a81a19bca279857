// The working state of one conversion: created empty at each drop, gone when it ends.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "directory.h"
#include "extent.h"
#include "input_stream.h"
#include "output_file.h"
#include "zarn/conversion_error.h"
#include "zarn/job_settings.h"

namespace zarn {

// What the analysis pass measures; the report and the rewrite pass read it.
struct JobGeometry {
    std::int16_t bbox_llx = 0, bbox_lly = 0, bbox_urx = 0, bbox_ury = 0;
    std::int16_t version7 = 0;
    float zarn_scale = 0.0f;
    std::int16_t translate_found = 0;
    std::int32_t origin_x_units = 0, origin_y_units = 0;
    std::int32_t offset_x_units = 0, offset_y_units = 0;
    std::int32_t max_x_units = 0, max_y_units = 0;
    std::int32_t min_x_units = 5000, min_y_units = 5000;
    std::int32_t job_width_ps = 0, job_height_ps = 0;
    // With the ink box: the ink in raw units round the job's origin, every mark widened by half
    // the pen in force where it is drawn; none when nothing is drawn.
    std::optional<InkExtent> ink_raw;
    // The same on the page in PS units, where the rewritten translate line puts it: in print
    // mode moved onto the page by `shift_x_raw` and `shift_y_raw` raw units more.
    std::optional<InkExtent> ink_ps;
    std::int32_t shift_x_raw = 0, shift_y_raw = 0;
};

// The boxes the output header wrote, in PS units, for the checks that follow the output.
struct WrittenBoxes {
    bool written = false;                             // the output header has been written
    std::int32_t llx = 0, lly = 0, urx = 0, ury = 0;  // the %%BoundingBox
    // Print mode: the page's sides as the %%PageBoundingBox has them, whether the page line
    // turns the page over (a rotated forced page), which forced size it is ("A4", "A3"; none
    // when it follows the job), and the page parameter line.
    bool page = false;
    std::int32_t pageWidth = 0, pageHeight = 0;
    bool turned = false;
    const char* forced = nullptr;
    std::string pageLine;
};

struct ConversionState {
    explicit ConversionState(JobSettings& s) : settings(s), english(s.english()) {}

    JobSettings& settings;
    const bool english;

    std::string input_path, input_ext, output_path, log_path, pdf_path, preview_path;
    Line current_line;
    // Set from the failure's kind at the error exit.
    std::int16_t name_fault = 0;
    std::int16_t content_fault = 0;  // 1 = header line missing, 2 = converted before
    std::string version_word;

    Directory folder;  // the input's, where the output and the log go too
    InputStream input;
    OutputFile output;
    OutputFile log;
    FileIdentity input_read;  // the input as the analysis pass found it on opening it
    JobGeometry geo;
    bool analysed = false;  // the analysis pass has run whole
    WrittenBoxes written;
};

// Both passes read the one file, all of it, and nothing else.
inline void requireSameInput(const ConversionState& c) {
    if (c.input.identity() != c.input_read) throw inputChanged();
}
inline void requireSameInputReadWhole(const ConversionState& c) {
    requireSameInput(c);
    if (c.input.offset() != static_cast<std::uint64_t>(c.input_read.size)) throw inputChanged();
}

// Runs `step`, which works on input line `line`: a failure that names nothing else names it.
template <typename Step>
auto causedByLine(std::uint64_t line, Step step) {
    try {
        return step();
    } catch (ConversionError& e) {
        FailureContext& where = e.context();
        if (where.file.empty() && where.field.empty() && where.inputLine == 0)
            where.inputLine = line;
        throw;
    }
}

// Runs `step`, which works on a window field's value: a failure names the field.
template <typename Step>
auto causedByField(const char* field, Step step) {
    try {
        return step();
    } catch (ConversionError& e) {
        e.context().field = field;
        throw;
    }
}

// The print file's own constants.
inline constexpr char kEndOfJob = '\x04';      // the last line of a print job
inline constexpr double kPsPerZarn = 0.05625;  // PostScript units per Zarn unit: 72 / 1280
// The scale and the translate line are looked for in this many lines after the header.
inline constexpr int kScaleWindowLines = 15;

// The six header lines, in their order: what the analysis pass requires each to begin with,
// and the shorter beginning the rewrite pass requires of it.
struct HeaderLine {
    std::string_view analysed, rewritten;
};
inline constexpr HeaderLine kHeaderLines[6] = {
    {"%!PS-Adobe", "%!PS"}, {"%%Creator", "%%Cr"}, {"%%Title", "%%Ti"},
    {"%%Creat", "%%Cr"},    {"%%Boun", "%%Bo"},    {"%%End", "%%En"},
};

// Reads header line `number` (1 to 6) and requires its beginning of the pass: a missing one
// is a content fault.
inline void requireHeaderLine(ConversionState& c, int number, bool rewriting) {
    c.input.readLine(c.current_line);
    const HeaderLine& line = kHeaderLines[number - 1];
    if (!c.current_line.beginsWith(rewriting ? line.rewritten : line.analysed))
        throw ConversionError(FaultKind::MissingHeaderLine, "a PostScript header line is missing");
}

}  // namespace zarn
