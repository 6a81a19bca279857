// One drop, start to end: intake, naming, the two passes, and the finish or the error exit.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <memory>
#include <new>
#include <optional>
#include <utility>

#include "analysis_pass.h"
#include "conversion_state.h"
#include "ghostscript.h"
#include "output_names.h"
#include "page_check.h"
#include "progress_meter.h"
#include "renderings.h"
#include "rewrite_pass.h"
#include "running_children.h"
#include "zarn/conversion.h"
#include "zarn/conversion_error.h"
#include "zarn/descriptor.h"
#include "zarn/numbers.h"
#include "zarn/path_helpers.h"
#include "zarn/texts.h"

namespace zarn {

namespace {

using texts::Bilingual;

class Conversion {
public:
    Conversion(const DroppedData& data, JobSettings& settings, Platform& platform)
        : data_(data), platform_(platform), c_(settings), progress_(platform) {}

    DropResult run() noexcept {
        try {
            return convert();
        } catch (...) {
            return errorExit(std::current_exception());
        }
    }

private:
    DropResult convert() {
        readFields();
        if (!(c_.settings.Crop_Factor >= 0.9f && c_.settings.Crop_Factor <= 1.0f))
            return refuse(DropOutcome::CropRefused, texts::kCropFactor);
        computePageDimensions(c_.settings);
        // From here on every failure ends in the error exit.
        if (std::optional<DropResult> refusal = refusalOfDrop()) return *refusal;
        nameFiles();
        openInput();
        refuseLinksToInput();
        c_.output.create(c_.folder.file(c_.output_path), "output");
        c_.log.create(c_.folder.file(c_.log_path), "log");
        writeLogFrame();
        const auto size = static_cast<std::uint64_t>(c_.input.identity().size);
        c_.input.onRead([this](std::uint64_t offset) { progress_.readTo(offset); });
        progress_.startPass(0, size);
        runAnalysisPass(c_);
        c_.analysed = true;
        // The log is complete. The output and the log stay open, and so locked, until the end.
        c_.input.close();
        c_.output.flush();
        c_.log.flush();
        progress_.startPass(1, size);
        runRewritePass(c_);
        progress_.finish();
        checkWrittenBoxes();
        c_.output.flush();
        c_.log.flush();
        renderings_ = writeRenderings(c_, platform_);
        sendToQueue();
        closeAll();
        return finish();
    }

    // The three fields are stored whatever follows, the crop factor in single precision.
    void readFields() {
        JobSettings& s = c_.settings;
        s.breedte = causedByField("width", [&] { return roundEven16(wordValue(s.Text_breed)); });
        s.marge = causedByField("end margin", [&] { return roundEven16(wordValue(s.Text_eind)); });
        s.Crop_Factor =
            causedByField("crop factor", [&] { return toSingle(wordValue(s.Text_crop)); });
    }

    // What the program refuses to convert and goes on: several files, a folder, rich text.
    std::optional<DropResult> refusalOfDrop() {
        if (data_.paths.size() >= 2) return refuse(DropOutcome::SeveralFiles, texts::kSeveralFiles);
        if (data_.paths.empty())
            throw ConversionError("the drop holds no file: only files can be converted");
        if (platform_.isDirectory(data_.paths.front()))
            return refuse(DropOutcome::Directory, texts::kDirectory);
        if (data_.offersRichText) return refuse(DropOutcome::RichText, texts::kRichText);
        return std::nullopt;
    }

    void nameFiles() {
        c_.input_path = absolutePath(data_.paths.front());
        c_.input_ext = ExtOnly(c_.input_path, false);
        if (!isPrintFileExtension(c_.input_ext))
            throw ConversionError(FaultKind::BadName, "the file name is not of the form *.Pxx");
        std::optional<OutputNames> names = outputNamesOf(c_.input_path, c_.settings.pageregel == 0);
        if (!names)
            throw ConversionError("invalid argument: the file name \"" + FileOnly(c_.input_path) +
                                  "\" has no extension");
        c_.output_path = std::move(names->output);
        c_.log_path = std::move(names->log);
        c_.pdf_path = std::move(names->pdf);
        c_.preview_path = std::move(names->preview);
    }

    // Page warnings always; with VERIFY they and Ghostscript's verdict end the log.
    void checkWrittenBoxes() {
        warnings_ = pageWarnings(c_);
        if (!c_.settings.verify) return;
        c_.output.flush();  // Ghostscript reads the output whole
        verification_ = verifyOutput();
        for (const auto* lines : {&warnings_, &verification_->lines})
            for (const std::string& line : *lines) c_.log.line(line);
    }

    Verification verifyOutput() {
        const auto notVerified = [&](const std::string& why) {
            return Verification{false, {texts::kNotVerified.in(c_.english) + why}};
        };
        if (const std::string why = beyondMeasuredReach(c_.written); !why.empty())
            return notVerified(why);
        const Descriptor output(c_.output.openForReading());
        struct stat st {};
        const auto size =
            ::fstat(output.get(), &st) == 0 ? static_cast<std::uint64_t>(st.st_size) : 0;
        const GhostscriptRun run = runGhostscript(
            inkJob(output.get(), size, c_.settings.pageregel == 0), "gs",
            [&](int percent) { return platform_.working(ChildTask::Check, percent); });
        if (run.status == GhostscriptStatus::Stopped) throw stoppedRun(run.detail);
        if (run.status != GhostscriptStatus::Done) return notVerified(run.detail);
        BoxCheck check = checkMarks(c_, inkOf(run.report));
        return {check.passed, std::move(check.lines)};
    }

    // The finished job to its print queue, once its check (when asked for) passed; the log says
    // where it went.
    void sendToQueue() {
        const JobSettings& s = c_.settings;
        const bool en = c_.english;
        if (s.queue.empty()) return;
        if (s.pageregel == 0)
            throw ConversionError("an EPS output is not sent to a print queue: print mode is");
        if (verification_ && !verification_->passed) {
            c_.log.line(texts::kNotSentTo.in(en) + s.queue + texts::kCheckFailed.in(en));
            return;
        }
        c_.output.flush();
        const Descriptor document(c_.output.openForReading());
        const auto [width, height] = pageSetUp(c_.written);
        const PrintSubmission sent = platform_.sendToQueue(
            {s.queue, FileOnly(c_.input_path), document.get(), width, height});
        if (sent.job <= 0)
            throw ConversionError("the job was not sent to the print queue " + s.queue + ": " +
                                  sent.failure);
        printJob_ = sent.job;
        c_.log.line(sentLine());
    }

    // " Sent to print queue typesetter as job 42"; appended piece by piece, on which g++ 12
    // does not warn falsely.
    std::string sentLine() const {
        const bool en = c_.english;
        return std::string(texts::kSentTo.in(en))
            .append(c_.settings.queue)
            .append(texts::kAsJob.in(en))
            .append(intText(printJob_));
    }

    DropResult finish() {
        const JobSettings& s = c_.settings;
        if (s.LogAfdruk == 1 && !platform_.openTextViewer(c_.log_path))
            throw ConversionError("no text viewer could be started for " + c_.log_path,
                                  aboutFile(c_.log_path));
        const std::string& preview = renderings_.preview;
        if (!preview.empty() && !platform_.openImageViewer(preview))
            throw ConversionError("no image viewer could be started for " + preview,
                                  aboutFile(preview));
        DropResult result = outcome(DropOutcome::Completed);
        result.pdf_path = renderings_.pdf;
        result.preview_path = preview;
        result.warnings = warnings_;
        result.verification = verification_;
        if (printJob_ > 0) {
            result.queue = s.queue;
            result.print_job = printJob_;
        }
        if (s.okido == 1) {
            platform_.beep();
            result.message = texts::kCompleted.in(c_.english);
            // Where the job went.
            if (printJob_ > 0) result.message.append("\r").append(sentLine().substr(1));
            platform_.showMessage(texts::kDoneTitle, MessageIcon::Information, result.message);
        }
        return result;
    }

    void openInput() {
        if (!c_.folder.openFor(c_.input_path))
            throw ConversionError(
                "cannot open " + c_.input_path + " for reading: " + std::strerror(errno),
                aboutFile(c_.input_path));
        c_.input.open(c_.folder.file(c_.input_path));
    }

    // Emptying the output or the log must never empty the input through a link, nor the
    // log the output.
    void refuseLinksToInput() {
        // Which file a name leads to, links followed; none when there is none yet.
        auto fileOf = [&](const std::string& path) -> std::optional<std::pair<dev_t, ino_t>> {
            const FileAt file = c_.folder.file(path);
            struct stat st {};
            if (::fstatat(file.dir, file.name.c_str(), &st, 0) != 0) return std::nullopt;
            return std::pair(st.st_dev, st.st_ino);
        };
        const FileIdentity in = c_.input.identity();
        const auto input = std::optional(std::pair(in.device, in.inode));
        const auto output = fileOf(c_.output_path), log = fileOf(c_.log_path);
        if (output == input)
            throw ConversionError("the output " + c_.output_path +
                                  " is a link to the input; nothing was emptied");
        if (log == input)
            throw ConversionError("the log " + c_.log_path +
                                  " is a link to the input; nothing was emptied");
        if (output && output == log)
            throw ConversionError("the log " + c_.log_path + " and the output " + c_.output_path +
                                  " are the same file; nothing was emptied");
    }

    void writeLogFrame() {
        const JobSettings& s = c_.settings;
        const bool en = c_.english;
        OutputFile& log = c_.log;
        log.line(texts::kBanner.in(en));
        log.line("    ");
        log.line(texts::kAuthorship.in(en));
        log.line("    ");
        log.line(texts::kInputFile + c_.input_path);
        log.line(texts::kOutputFile + c_.output_path);
        log.line((s.pageregel == 0 ? texts::kEpsMode : texts::kPrintMode).in(en));
        log.line((s.kantel == 0 ? texts::kRotated : texts::kNotRotated).in(en));
        log.line("    ");
    }

    void closeAll() {
        c_.input.close();
        c_.output.close();
        c_.log.close();
        c_.folder.close();
    }

    DropResult outcome(DropOutcome what) const {
        DropResult r;
        r.outcome = what;
        r.output_path = c_.output_path;
        r.log_path = c_.log_path;
        if (c_.analysed) r.measured = measurements();
        return r;
    }

    Measurements measurements() const {
        const JobGeometry& g = c_.geo;
        const WrittenBoxes& w = c_.written;
        Measurements m;
        m.stated_bounding_box = {g.bbox_llx, g.bbox_lly, g.bbox_urx, g.bbox_ury};
        m.version7 = g.version7 == 1;
        m.scale = g.zarn_scale;
        m.translate_found = g.translate_found == 1;
        m.origin_x = g.origin_x_units, m.origin_y = g.origin_y_units;
        m.offset_x = g.offset_x_units, m.offset_y = g.offset_y_units;
        m.min_x = g.min_x_units, m.min_y = g.min_y_units;
        m.max_x = g.max_x_units, m.max_y = g.max_y_units;
        m.job_width = g.job_width_ps, m.job_height = g.job_height_ps;
        if (w.written) m.bounding_box = std::array{w.llx, w.lly, w.urx, w.ury};
        if (w.page) m.page_box = std::array{0, 0, w.pageWidth, w.pageHeight};
        m.page_line = w.pageLine;
        return m;
    }

    DropResult refuse(DropOutcome what, const Bilingual& message) {
        DropResult r = outcome(what);
        r.message = message.in(c_.english);
        platform_.showMessage(texts::kErrorTitle.in(c_.english), MessageIcon::Stop, r.message);
        return r;
    }

    DropResult errorExit(std::exception_ptr failure) noexcept {
        c_.input.close();
        c_.output.closeQuietly();
        c_.log.closeQuietly();
        c_.folder.close();
        DropResult r = outcome(DropOutcome::ErrorExit);
        try {
            const ConversionError e = asConversionError(failure);
            r.system_error = e.context().systemError;
            c_.name_fault = e.kind() == FaultKind::BadName ? 1 : 0;
            c_.content_fault = e.kind() == FaultKind::MissingHeaderLine ? 1
                               : e.kind() == FaultKind::ConvertedBefore ? 2
                                                                        : 0;
            // Stopped from outside: the user or the system asked for the end, not for a box.
            if (e.kind() != FaultKind::Stopped) {
                r.message = message(e);
                platform_.showMessage(texts::kErrorTitle.in(c_.english), MessageIcon::Stop,
                                      r.message);
            }
        } catch (...) {
            // Out of memory while telling: the program still ends.
        }
        try {
            platform_.endProgram();
        } catch (...) {
        }
        return r;
    }

    static ConversionError asConversionError(std::exception_ptr failure) {
        try {
            std::rethrow_exception(failure);
        } catch (const ConversionError& e) {
            return e;
        } catch (const std::bad_alloc&) {
            return ConversionError("out of memory");
        } catch (const std::exception& e) {
            return ConversionError(e.what());
        } catch (...) {
            return ConversionError("unknown failure");
        }
    }

    // The one place a failure becomes the message the user reads.
    std::string message(const ConversionError& e) const {
        const bool en = c_.english;
        if (c_.name_fault == 1) return texts::kBadName.in(en);
        if (c_.content_fault == 1) return texts::kNotPostScript.in(en);
        if (c_.content_fault == 2) return texts::kSecondTime.in(en);
        const std::string text = texts::kRuntimeFailure.in(en) + e.description();
        const FailureContext& where = e.context();
        if (!where.field.empty()) return text + " (the " + where.field + " field)";
        // A file's own failure is named in its description.
        if (!where.file.empty() || c_.input_path.empty()) return text;
        if (where.inputLine == 0) return text + " (" + c_.input_path + ")";
        return text + " (" + c_.input_path + ", line " +
               intText(static_cast<std::int64_t>(where.inputLine)) + ")";
    }

    const DroppedData& data_;
    Platform& platform_;
    ConversionState c_;
    ProgressMeter progress_;
    std::vector<std::string> warnings_;
    std::optional<Verification> verification_;
    Renderings renderings_;
    int printJob_ = 0;
};

}  // namespace

DropResult convertDrop(const DroppedData& data, JobSettings& settings,
                       Platform& platform) noexcept {
    DropResult result;
    {
        Conversion conversion(data, settings, platform);
        result = conversion.run();
    }
    // Everything of the conversion is closed and removed: a stop signal may end the program.
    endByStopSignal();
    return result;
}

}  // namespace zarn
