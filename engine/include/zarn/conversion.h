// The engine's entry point: one drop on the drop zone is one conversion.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "zarn/job_settings.h"
#include "zarn/platform.h"

namespace zarn {

struct DroppedData {
    std::vector<std::string> paths;  // full paths, as the desktop delivers them
    bool offersRichText = false;
};

enum class DropOutcome {
    Completed,
    CropRefused,   // crop factor outside 0.90 - 1.00; program goes on
    SeveralFiles,  // program goes on
    Directory,     // program goes on
    RichText,      // program goes on
    ErrorExit,     // message shown, platform.endProgram() called
};

// Ghostscript's check of a completed output (with VERIFY): the lines added to the log, and
// whether every mark lay inside the boxes written.
struct Verification {
    bool passed = false;
    std::vector<std::string> lines;
};

// What a conversion measured and wrote, for reports: known once the analysis pass has run
// (the written boxes once the output header has been written). PS units unless said.
struct Measurements {
    std::array<std::int16_t, 4> stated_bounding_box{};  // the input's %%BoundingBox
    bool version7 = false;
    float scale = 0;
    bool translate_found = false;
    std::int32_t origin_x = 0, origin_y = 0, offset_x = 0, offset_y = 0;  // Zarn units
    std::int32_t min_x = 0, min_y = 0, max_x = 0, max_y = 0;              // Zarn units
    std::int32_t job_width = 0, job_height = 0;
    std::optional<std::array<std::int32_t, 4>> bounding_box;  // the %%BoundingBox written
    std::optional<std::array<std::int32_t, 4>> page_box;      // the %%PageBoundingBox written
    std::string page_line;  // the page parameter line written; empty when none
};

struct DropResult {
    DropOutcome outcome = DropOutcome::ErrorExit;
    std::string message;      // the text shown (lines joined by CR); empty when none was shown
    std::string output_path;  // known once the names were derived
    std::string log_path;
    std::string pdf_path, preview_path;  // of a completed conversion that wrote them
    // Of a completed conversion, in the log's language: where the film would be cut (print
    // mode, always; in the log with VERIFY only), and the verification when it was asked for.
    std::vector<std::string> warnings;
    std::optional<Verification> verification;
    std::optional<Measurements> measured;
    // Of an error exit: the error number of the write that failed, when one did (ENOSPC: the
    // disk is full); 0 otherwise.
    int system_error = 0;
    // Of a completed conversion sent to a print queue: the queue and the print system's job.
    std::string queue;
    int print_job = 0;
};

// The files a conversion of `input` writes, beside it; none when the conversion would refuse
// the name. Callers that convert many files use it to keep one from replacing another's.
struct OutputNames {
    std::string output, log;
    std::string pdf, preview;  // written only when the settings ask for them
};
std::optional<OutputNames> outputNamesOf(const std::string& input, bool eps);

// Runs the whole drop: intake, naming, analysis pass, rewrite pass, finish or error exit.
// Never throws; every failure ends in the error exit and is reported in the result.
DropResult convertDrop(const DroppedData& data, JobSettings& settings, Platform& platform) noexcept;

}  // namespace zarn
