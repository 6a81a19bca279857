#include "batch_converter.h"

#include "command_line.h"
#include "json_report.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <optional>
#include <ostream>

#include "zarn/conversion.h"
#include "zarn/option_controls.h"
#include "zarn/setting_steps.h"
#include "zarn/settings_file.h"
#include "zarn/spool/cups_queue.h"
#include "zarn/texts.h"
#include "zarn/version.h"

namespace zarn {

namespace {

// Messages travel back in the result; a terminal has nothing to open, sound or end. A job goes
// to the print system the user's CUPS clients reach.
class TerminalPlatform : public Platform {
public:
    bool isDirectory(const std::string& path) override {
        struct stat st {};
        return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
    }
    void showMessage(const std::string&, MessageIcon, const std::string&) override {}
    bool openTextViewer(const std::string&) override { return true; }
    bool openImageViewer(const std::string&) override { return true; }
    void beep() override {}
    PrintSubmission sendToQueue(const PrintRequest& request) override {
        return spool::submitToCups(request);
    }
    void endProgram() override {}
};

// A failure of one FILE that happens before the engine sees it.
struct RunError {
    std::string what;
};

std::string asLines(std::string text) {
    for (char& ch : text)
        if (ch == '\r') ch = '\n';
    return text;
}

// A name as GNU ls shows it: as it is, unless it holds control characters; then quoted for
// the shell, each control character as $'\ooo', so that one name stays one line.
std::string shown(const std::string& name) {
    const auto control = [](unsigned char ch) { return ch < 0x20 || ch == 0x7f; };
    if (std::none_of(name.begin(), name.end(), control)) return name;
    std::string text = "'";
    for (const char ch : name) {
        if (control(static_cast<unsigned char>(ch))) {
            char octal[16];
            std::snprintf(octal, sizeof octal, "'$'\\%03o''", static_cast<unsigned char>(ch));
            text += octal;
        } else if (ch == '\'') {
            text += "'\\''";
        } else {
            text += ch;
        }
    }
    text += "'";
    return text;
}

void readSettings(const Options& o, OptionControls& c, JobSettings& s, std::ostream& err) {
    if (o.noSettings) return;
    const std::string path = o.settingsFile.value_or(kSettingsFileName);
    const SettingsReport report = [&](const SettingsMessage& m) {
        err << kProgram << ": " << shown(path) << ": " << asLines(m.text) << "\n";
    };
    if (!o.settingsFile) {
        readSettingsFile(path, c, s, report);
    } else if (const auto failed = readNamedSettingsFile(path, c, s, report)) {
        throw UsageError{"cannot read the settings file " + shown(path) + ": " + *failed};
    }
}

ForcedSize forcedSizeOf(const std::string& name) {
    if (name == "a4") return ForcedSize::A4;
    if (name == "a3") return ForcedSize::A3;
    return ForcedSize::None;
}

// The options act as the window's controls would: each through the step or the handler
// that the settings file and the user's clicks go through.
void applyOptions(const Options& o, OptionControls& c, JobSettings& s) {
    if (o.eps) setPageMode(!*o.eps, c, s);
    if (s.pageregel == 0 && o.force && *o.force != "none")
        throw UsageError{"--force needs print mode, not EPS mode"};
    if (s.pageregel == 0 && o.rotate) throw UsageError{"--rotate needs print mode, not EPS mode"};
    if (s.pageregel == 0 && o.dsc.value_or(false))
        throw UsageError{"--dsc needs print mode, not EPS mode"};
    if (s.pageregel == 0 && !o.sendTo.value_or("").empty())
        throw UsageError{"--send-to needs print mode, not EPS mode"};
    if (o.force) setForcedSize(forcedSizeOf(*o.force), c, s);
    if (o.rotate) c.setTicked(Ctl::chkRotate, true);
    if (o.crop) c.setText(Ctl::Text_crop, *o.crop);
    if (o.endMargin) c.setText(Ctl::Text_eind, *o.endMargin);
    if (o.extraWidth) c.setText(Ctl::Text_breed, *o.extraWidth);
    if (o.inkBox) s.inkBox = *o.inkBox;
    if (o.verify) s.verify = *o.verify;
    if (o.pdf) s.pdf = *o.pdf;
    if (o.preview) s.preview = static_cast<std::int16_t>(*o.preview);
    if (o.dsc) s.dsc = *o.dsc;
    if (o.sendTo) s.queue = *o.sendTo;
    if (o.lang) setEnglish(*o.lang == "uk", s);
    if (o.gray)
        for (std::size_t i = 0; i < kColourBoxCount; ++i)
            c.setTicked(colourBoxControl(i), (*o.gray)[i]);
    c.setTicked(Ctl::chkLogafdruk, false);  // a terminal has no viewer to open
}

// The settings a conversion sees: the window's start values, the settings file, the options.
void buildSettings(const Options& o, JobSettings& s, std::ostream& err) {
    HeadlessWindow window(s);
    applyStartValues(window.controls(), s);
    readSettings(o, window.controls(), s, err);
    applyOptions(o, window.controls(), s);
    captureWindowValues(window.controls(), s);
}

// A drop always delivers a full path. A relative FILE is taken from the working directory
// as the kernel resolves it: "." parts go, ".." stays, for "link/.." is not always ".".
std::string absolute(const std::string& file) {
    if (!file.empty() && file[0] == '/') return file;
    char* cwd = ::getcwd(nullptr, 0);
    if (cwd == nullptr) {
        if (errno == ENAMETOOLONG) throw RunError{"the working directory is too deep to name"};
        throw RunError{"cannot determine the working directory: " +
                       std::string(std::strerror(errno))};
    }
    std::string path(cwd);
    std::free(cwd);
    // The kernel opens no path of PATH_MAX bytes or more, and a drop needs the whole path.
    if (path.size() + 1 + file.size() >= PATH_MAX)
        throw RunError{"the working directory is too deep to name: its path is longer than " +
                       std::to_string(PATH_MAX - 1) + " bytes"};
    std::size_t from = 0;
    while (from <= file.size()) {
        const std::size_t slash = std::min(file.find('/', from), file.size());
        const std::string_view part(file.data() + from, slash - from);
        if (!part.empty() && part != ".") (path += '/') += part;
        from = slash + 1;
    }
    return path;
}

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
            for (const std::string& file : files) drop.paths.push_back(absolute(file));
        } catch (const RunError& e) {
            return notConverted(files.front(), texts::kRuntimeFailure.in(base_.english()) + e.what);
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
        if (r.verification) {
            for (const std::string& line : r.verification->lines) say(files.front(), line);
            if (!r.verification->passed) status_ = 1;
        }
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

int runBatchConverter(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    Options o;
    JobSettings base;
    try {
        o = parseCommandLine(args);
        if (o.help) {
            out << kUsage;
            return 0;
        }
        if (o.version) {
            out << kProgram << " " << kVersion << "\n";
            return 0;
        }
        buildSettings(o, base, err);
    } catch (const UsageError& e) {
        err << kProgram << ": " << e.what << "\n"
            << "Try '" << kProgram << " --help'.\n";
        return 2;
    }
    return Run(o, base, out, err).convertAll();
}

}  // namespace zarn
