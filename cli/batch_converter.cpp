#include "batch_converter.h"

#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdlib>
#include <map>
#include <mutex>
#include <optional>
#include <ostream>
#include <sstream>
#include <string_view>
#include <thread>

#include "command_line.h"
#include "hot_folder.h"
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

// What one drop printed, held until the drops before it have printed theirs.
struct DropReport {
    std::ostringstream out, err;
    int status = 0;
};

// One run: the settings every drop starts from, what it printed, and which input each
// written file belongs to. With more than one job, drops run at once, except those that would
// write the same file: they run one after the other, in their order, as without jobs.
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
        reports_ = std::vector<DropReport>(drops.size());
        done_.assign(drops.size(), false);
        if (o_.jobs <= 1) {
            for (std::size_t i = 0; i < drops.size(); ++i) {
                convertDrop(drops[i], reports_[i]);
                print(reports_[i]);
            }
        } else {
            convertAtOnce(drops);
        }
        out_.flush();
        if (!out_) {
            err_ << kProgram << ": cannot write the standard output\n";
            status_ = 1;
        }
        return status_;
    }

private:
    void print(DropReport& r) {
        out_ << r.out.str();
        err_ << r.err.str();
        status_ |= r.status;
    }

    // Chains of drops that write the same output or log, each chain on one worker; what they
    // print comes out in the order of the drops.
    void convertAtOnce(const std::vector<std::vector<std::string>>& drops) {
        std::vector<std::vector<std::size_t>> chains;
        std::map<std::string, std::size_t> chainOf;
        for (std::size_t i = 0; i < drops.size(); ++i) {
            std::size_t chain = chains.size();
            const std::vector<std::string> keys = writtenNames(drops[i].front());
            for (const std::string& key : keys)
                if (const auto it = chainOf.find(key); it != chainOf.end()) chain = it->second;
            if (chain == chains.size()) chains.emplace_back();
            chains[chain].push_back(i);
            for (const std::string& key : keys) chainOf.emplace(key, chain);
        }
        std::atomic<std::size_t> next{0};
        {
            std::vector<std::jthread> workers;
            const int n = std::min<int>(o_.jobs, static_cast<int>(chains.size()));
            for (int w = 0; w < n; ++w)
                workers.emplace_back([&] {
                    for (std::size_t c; (c = next++) < chains.size();)
                        for (const std::size_t i : chains[c]) {
                            convertDrop(drops[i], reports_[i]);
                            const std::lock_guard lock(mutex_);
                            done_[i] = true;
                            printed_.notify_all();
                        }
                });
            for (std::size_t i = 0; i < drops.size(); ++i) {
                std::unique_lock lock(mutex_);
                printed_.wait(lock, [&] { return static_cast<bool>(done_[i]); });
                lock.unlock();
                print(reports_[i]);
            }
        }
    }

    // The output and the log a drop of `file` would write, as the files they would be: their
    // folders' real paths. None when the name is refused.
    std::vector<std::string> writtenNames(const std::string& file) const {
        std::vector<std::string> keys;
        try {
            const std::optional<OutputNames> names =
                outputNamesOf(absolutePath(file), base_.pageregel == 0);
            if (!names) return keys;
            for (const std::string* name : {&names->output, &names->log}) {
                char* real = ::realpath(PathOnly(*name).c_str(), nullptr);
                keys.push_back((real ? std::string(real) : PathOnly(*name)) + "/" +
                               FileOnly(*name));
                std::free(real);
            }
        } catch (const ConversionError&) {
        }
        return keys;
    }

    void convertDrop(const std::vector<std::string>& files, DropReport& report) {
        DroppedData drop{{}, o_.richText};
        try {
            for (const std::string& file : files) drop.paths.push_back(absolutePath(file));
        } catch (const ConversionError& e) {
            return notConverted(report, files.front(),
                                texts::kRuntimeFailure.in(base_.english()) + e.description());
        }
        if (const std::string earlier = writtenBefore(drop.paths.front()); !earlier.empty())
            return notConverted(report, files.front(),
                                "not converted: its output or log was written for " +
                                    shown(earlier) + " earlier in this run");
        JobSettings settings = base_;  // each drop as if it were the only one
        const DropResult r = zarn::convertDrop(drop, settings, platform_);
        {
            const std::lock_guard lock(mutex_);
            for (const std::string* written : {&r.output_path, &r.log_path})
                if (const Identity id = identityOf(*written); id != Identity{0, 0})
                    writtenFor_.emplace(id, files.front());
        }
        std::ostream& out = report.out;
        if (o_.json) out << jsonRecord(files.front(), &r, {}) << "\n";
        if (r.outcome != DropOutcome::Completed) return fail(report, files.front(), r.message);
        // A warning leaves the status alone; a verification that fails or cannot be made
        // counts as a file not converted, although its output and log stay.
        for (const std::string& warning : r.warnings) say(report, files.front(), warning);
        // Quiet: a check that passed says nothing either.
        if (r.verification && !(o_.quiet && r.verification->passed))
            for (const std::string& line : r.verification->lines) say(report, files.front(), line);
        if (r.verification && !r.verification->passed) report.status = 1;
        if (!o_.quiet && !o_.json) {
            for (const std::string* written :
                 {&r.output_path, &r.log_path, &r.pdf_path, &r.preview_path})
                if (!written->empty()) out << shown(*written) << "\n";
            // As the print system names a job: the queue, a dash, the number.
            if (r.print_job > 0) out << r.queue << "-" << r.print_job << "\n";
        }
    }

    // The input whose conversion wrote this one's output or log, or "". Files are known by
    // their identity, so that two spellings of one path are one file.
    std::string writtenBefore(const std::string& input) {
        const std::optional<OutputNames> names = outputNamesOf(input, base_.pageregel == 0);
        if (!names) return {};
        const std::lock_guard lock(mutex_);
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
    static void say(DropReport& report, const std::string& file, const std::string& line) {
        report.err << kProgram << ": " << shown(file) << ": "
                   << std::string_view(line).substr(line.starts_with(' ') ? 1 : 0) << "\n";
    }

    // A FILE that never reached a conversion.
    void notConverted(DropReport& report, const std::string& file, const std::string& message) {
        if (o_.json) report.out << jsonRecord(file, nullptr, message) << "\n";
        fail(report, file, message);
    }

    static void fail(DropReport& report, const std::string& file, const std::string& message) {
        report.err << kProgram << ": " << shown(file) << ": " << asLines(message) << "\n";
        report.status = 1;
    }

    const Options& o_;
    const JobSettings& base_;
    std::ostream& out_;
    std::ostream& err_;
    TerminalPlatform platform_;
    std::mutex mutex_;  // the identities written, and which drops are done
    std::condition_variable printed_;
    std::map<Identity, std::string> writtenFor_;
    std::vector<DropReport> reports_;
    std::vector<bool> done_;
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
        if (o.watch) {
            if (o.jobs == 0) o.jobs = std::max(1u, std::thread::hardware_concurrency());
            return runHotFolder(o, out, err);
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
