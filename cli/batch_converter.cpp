#include "batch_converter.h"

#include <sys/stat.h>

#include <map>
#include <optional>
#include <ostream>
#include <string_view>

#include "command_line.h"
#include "json_report.h"
#include "run_settings.h"
#include "terminal_platform.h"
#include "terminal_text.h"
#include "zarn/conversion.h"
#include "zarn/conversion_error.h"
#include "zarn/path_helpers.h"
#include "zarn/settings_file.h"
#include "zarn/texts.h"
#include "zarn/version.h"

namespace zarn {

namespace {

// One run: the settings every drop starts from, what it printed, and which input each
// written file belongs to.
class Run {
public:
    Run(const Options& o, const JobSettings& base, std::ostream& out, std::ostream& err)
        : o_(o), base_(base), out_(out), err_(err) {}

    int convertAll() {
        std::vector<std::vector<std::string>> drops;
        for (const std::string& file : o_.files) {
            if (!o_.oneDrop || drops.empty()) drops.emplace_back();
            drops.back().push_back(file);
        }
        for (const std::vector<std::string>& files : drops) convertDrop(files);
        out_.flush();
        if (!out_) {
            err_ << kProgram << ": cannot write the standard output\n";
            status_ = 1;
        }
        return status_;
    }

private:
    void convertDrop(const std::vector<std::string>& files) {
        DroppedData drop{{}, o_.richText};
        try {
            for (const std::string& file : files) drop.paths.push_back(absolutePath(file));
        } catch (const ConversionError& e) {
            return notConverted(files.front(),
                                texts::kRuntimeFailure.in(base_.english()) + e.description());
        }
        if (const std::string earlier = writtenBefore(drop.paths.front()); !earlier.empty())
            return notConverted(files.front(), "not converted: its output or log was written for " +
                                                   shown(earlier) + " earlier in this run");
        JobSettings settings = base_;  // each drop as if it were the only one
        const DropResult r = zarn::convertDrop(drop, settings, platform_);
        for (const std::string* written : {&r.output_path, &r.log_path})
            if (const Identity id = identityOf(*written); id != Identity{0, 0})
                writtenFor_.emplace(id, files.front());
        if (o_.json) out_ << jsonRecord(files.front(), &r, {}) << "\n";
        if (r.outcome != DropOutcome::Completed) return fail(files.front(), r.message);
        // A warning leaves the status alone; a verification that fails or cannot be made
        // counts as a file not converted, although its output and log stay.
        for (const std::string& warning : r.warnings) say(files.front(), warning);
        // Quiet: a check that passed says nothing either.
        if (r.verification && !(o_.quiet && r.verification->passed))
            for (const std::string& line : r.verification->lines) say(files.front(), line);
        if (r.verification && !r.verification->passed) status_ = 1;
        if (!o_.quiet && !o_.json) {
            for (const std::string* written :
                 {&r.output_path, &r.log_path, &r.pdf_path, &r.preview_path})
                if (!written->empty()) out_ << shown(*written) << "\n";
            // As the print system names a job: the queue, a dash, the number.
            if (r.print_job > 0) out_ << r.queue << "-" << r.print_job << "\n";
        }
    }

    // The input whose conversion wrote this one's output or log, or "". Files are known by
    // their identity, so that two spellings of one path are one file.
    std::string writtenBefore(const std::string& input) const {
        const std::optional<OutputNames> names = outputNamesOf(input, base_.pageregel == 0);
        if (!names) return {};
        for (const std::string* name : {&names->output, &names->log})
            if (const auto it = writtenFor_.find(identityOf(*name)); it != writtenFor_.end())
                return it->second;
        return {};
    }

    using Identity = std::pair<dev_t, ino_t>;
    static Identity identityOf(const std::string& path) {
        struct stat st {};
        if (::stat(path.c_str(), &st) != 0) return {0, 0};
        return {st.st_dev, st.st_ino};
    }

    // A log line about `file`, without the blank that begins it in the log.
    void say(const std::string& file, const std::string& line) {
        err_ << kProgram << ": " << shown(file) << ": "
             << std::string_view(line).substr(line.starts_with(' ') ? 1 : 0) << "\n";
    }

    // A FILE that never reached a conversion.
    void notConverted(const std::string& file, const std::string& message) {
        if (o_.json) out_ << jsonRecord(file, nullptr, message) << "\n";
        fail(file, message);
    }

    void fail(const std::string& file, const std::string& message) {
        err_ << kProgram << ": " << shown(file) << ": " << asLines(message) << "\n";
        status_ = 1;
    }

    const Options& o_;
    const JobSettings& base_;
    std::ostream& out_;
    std::ostream& err_;
    TerminalPlatform platform_;
    std::map<Identity, std::string> writtenFor_;
    int status_ = 0;
};

}  // namespace

namespace {

// Which settings file the run reads, for --help and --version.
std::string settingsFileLine(const Options& o) {
    if (const std::optional<std::string> path = settingsFileOf(o))
        return "Settings file: " + shown(*path) + "\n";
    if (o.noSettings) return "Settings file: none (--no-settings)\n";
    return "Settings file: " + noSettingsFileFound() + "\n";
}

}  // namespace

int runBatchConverter(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    Options o;
    JobSettings base;
    try {
        o = parseCommandLine(args);
        if (o.help) {
            out << kUsage << settingsFileLine(o);
            return 0;
        }
        if (o.version) {
            out << kProgram << " " << kVersion << "\n" << settingsFileLine(o);
            return 0;
        }
        buildSettings(o, base, err);
    } catch (const UsageError& e) {
        err << kProgram << ": " << e.what() << "\n"
            << "Try '" << kProgram << " --help'.\n";
        return 2;
    }
    return Run(o, base, out, err).convertAll();
}

}  // namespace zarn
