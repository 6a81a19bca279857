// One drop, start to end: intake, naming, the two passes, and the finish or the error exit.
#include <sys/stat.h>

#include <new>
#include <stdexcept>

#include "analysis_pass.h"
#include "conversion_state.h"
#include "rewrite_pass.h"
#include "zarn/texts.h"
#include "zarn/conversion.h"
#include "zarn/conversion_error.h"
#include "zarn/numbers.h"
#include "zarn/path_helpers.h"

namespace zarn {

namespace {

using texts::Bilingual;

class Conversion {
public:
    Conversion(const DroppedData& data, JobSettings& settings, Platform& platform)
        : data_(data), platform_(platform), c_(settings) {}

    DropResult run() noexcept {
        try {
            return steps();
        } catch (const ConversionError& e) {
            return errorExit(e.what());
        } catch (const std::invalid_argument& e) {
            return errorExit(std::string("invalid argument: ") + e.what());
        } catch (const std::bad_alloc&) {
            return errorExit("out of memory");
        } catch (const std::exception& e) {
            return errorExit(e.what());
        } catch (...) {
            return errorExit("unknown failure");
        }
    }

private:
    DropResult steps() {
        JobSettings& s = c_.settings;
        // 1. The three fields, stored whatever follows.
        s.breedte = roundEven16(wordValue(s.Text_breed));
        s.marge = roundEven16(wordValue(s.Text_eind));
        s.Crop_Factor = toSingle(wordValue(s.Text_crop));
        // 2. Crop check, in single precision.
        if (!(s.Crop_Factor >= 0.9f && s.Crop_Factor <= 1.0f))
            return refuse(DropOutcome::CropRefused, texts::kCropFactor);
        // 3. Page dimensions.
        computePageDimensions(s);
        // 4. From here on every failure ends in the error exit.
        // 5.-7. The drop itself.
        if (data_.paths.size() >= 2) return refuse(DropOutcome::SeveralFiles, texts::kSeveralFiles);
        if (data_.paths.empty())
            throw ConversionError("the drop holds no file: only files can be converted");
        if (platform_.isDirectory(data_.paths.front()))
            return refuse(DropOutcome::Directory, texts::kDirectory);
        if (data_.offersRichText) return refuse(DropOutcome::RichText, texts::kRichText);
        // 8.-9. The name.
        c_.input_path = data_.paths.front();
        c_.input_ext = ExtOnly(c_.input_path, false);
        if (c_.input_ext.size() < 2 || (c_.input_ext[1] != '1' && c_.input_ext[1] != '0')) {
            c_.name_fault = 1;
            throw ConversionError("the file name is not of the form *.Pxx");
        }
        c_.adapted_ext = "E" + c_.input_ext.substr(1);
        // 10.-13. Open the input, name and create the output and the log.
        c_.input.open(c_.input_path);
        const std::string stem = PathOnly(c_.input_path) + "/" + NameOnly(c_.input_path) + "_" +
                                 c_.adapted_ext;
        c_.output_path = stem + (s.pageregel == 0 ? ".eps" : ".ps");
        c_.log_path = stem + "_log.TXT";
        refuseLinksToInput();
        c_.output.create(c_.output_path);
        c_.log.create(c_.log_path);
        // 14.-16. Log frame, analysis pass, close everything.
        writeLogFrame();
        runAnalysisPass(c_);
        closeAll();
        // 17.-18. Rewrite pass, close everything.
        runRewritePass(c_);
        closeAll();
        // 19.-21. Finish.
        if (s.LogAfdruk == 1 && !platform_.openTextViewer(c_.log_path))
            throw ConversionError("no text viewer could be started for " + c_.log_path);
        DropResult result = outcome(DropOutcome::Completed);
        if (s.okido == 1) {
            platform_.beep();
            result.message = texts::kCompleted.in(c_.english);
            platform_.showMessage(texts::kDoneTitle, MessageIcon::Information, result.message);
        }
        return result;
    }

    // Emptying the output or the log must never empty the input through a link, nor the
    // log the output.
    void refuseLinksToInput() {
        struct stat in {}, out {}, log {};
        if (::stat(c_.input_path.c_str(), &in) != 0) return;
        const bool outExists = ::stat(c_.output_path.c_str(), &out) == 0;
        const bool logExists = ::stat(c_.log_path.c_str(), &log) == 0;
        auto same = [](const struct stat& a, const struct stat& b) {
            return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
        };
        if (outExists && same(in, out))
            throw ConversionError("the output " + c_.output_path +
                                  " is a link to the input; nothing was emptied");
        if (logExists && same(in, log))
            throw ConversionError("the log " + c_.log_path +
                                  " is a link to the input; nothing was emptied");
        if (outExists && logExists && same(out, log))
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
    }

    DropResult outcome(DropOutcome what) const {
        DropResult r;
        r.outcome = what;
        r.output_path = c_.output_path;
        r.log_path = c_.log_path;
        return r;
    }

    DropResult refuse(DropOutcome what, const Bilingual& message) {
        DropResult r = outcome(what);
        r.message = message.in(c_.english);
        platform_.showMessage(texts::kErrorTitle.in(c_.english), MessageIcon::Stop, r.message);
        return r;
    }

    DropResult errorExit(const std::string& description) noexcept {
        c_.input.close();
        c_.output.closeQuietly();
        c_.log.closeQuietly();
        const bool en = c_.english;
        DropResult r = outcome(DropOutcome::ErrorExit);
        try {
            if (c_.name_fault == 1)
                r.message = texts::kBadName.in(en);
            else if (c_.content_fault == 1)
                r.message = texts::kNotPostScript.in(en);
            else if (c_.content_fault == 2)
                r.message = texts::kSecondTime.in(en);
            else
                r.message = texts::kRuntimeFailure.in(en) + withContext(description);
            platform_.showMessage(texts::kErrorTitle.in(en), MessageIcon::Stop, r.message);
            platform_.endProgram();
        } catch (...) {
        }
        return r;
    }

    // Names the input and the line where a pass met the failure, unless the text already
    // names a file.
    std::string withContext(const std::string& description) const {
        if (c_.input_path.empty() || description.find('/') != std::string::npos) return description;
        const std::uint64_t line = c_.input.linesRead();
        if (line == 0) return description + " (" + c_.input_path + ")";
        return description + " (" + c_.input_path + ", line " +
               intText(static_cast<std::int64_t>(line)) + ")";
    }

    const DroppedData& data_;
    Platform& platform_;
    ConversionState c_;
};

}  // namespace

DropResult convertDrop(const DroppedData& data, JobSettings& settings,
                              Platform& platform) noexcept {
    Conversion conversion(data, settings, platform);
    return conversion.run();
}

}  // namespace zarn
