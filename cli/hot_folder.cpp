#include "hot_folder.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <sys/signalfd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <map>
#include <mutex>
#include <ostream>
#include <set>
#include <sstream>
#include <thread>
#include <vector>

#include "claims.h"
#include "json_report.h"
#include "run_settings.h"
#include "terminal_platform.h"
#include "terminal_text.h"
#include "zarn/conversion.h"
#include "zarn/path_helpers.h"
#include "zarn/settings_file.h"

namespace zarn {

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// How often the loop looks at the files waiting to settle, at the least.
constexpr milliseconds kLook{250};
// A file given back for a full disk waits this long, doubled each time, at most kLongestWait.
constexpr std::chrono::seconds kLongestWait{300};

// A print file in DIR that is not taken yet: what it looked like, since when.
struct Candidate {
    off_t size = -1;
    std::int64_t modified = -1;
    Clock::time_point since;
    Clock::time_point notBefore;
    int givenBack = 0;  // how often a full disk gave it back
};

// Whether no one has the file open for writing, as far as the file system can say: a read
// lease is refused while anyone does. Where leases are not offered (a network share), only the
// settling says it; so too for a file this watcher may not open, whose conversion then says why
// rather than the file waiting in DIR unreported.
bool nobodyWrites(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return true;
    const bool taken = ::fcntl(fd, F_SETLEASE, F_RDLCK) == 0;
    const bool refused = !taken && (errno == EAGAIN || errno == EBUSY);
    if (taken) ::fcntl(fd, F_SETLEASE, F_UNLCK);
    ::close(fd);
    return !refused;
}

// A message's lines (CR or LF), trimmed, on one line: a journal reads a line as an entry.
std::string oneLine(const std::string& text) {
    std::string joined, part;
    std::istringstream lines(asLines(text));
    while (std::getline(lines, part)) {
        while (!part.empty() && part.back() == ' ') part.pop_back();
        if (part.empty()) continue;
        if (!joined.empty()) joined += " / ";
        joined += part;
    }
    return joined;
}

// A name the hot folder takes: a print file's, not hidden.
bool isPrintFile(const std::string& name) {
    return !name.empty() && name[0] != '.' && outputNamesOf("/" + name, false).has_value();
}

// The settings a file of the folder starts from: the folder's own file when it is there, else
// the user's, then the options.
Options withFolderSettings(Options o, const std::string& dir) {
    if (o.noSettings || o.settingsFile) return o;
    const std::string own = dir + "/" + kSettingsFileName;
    const std::string user = userSettingsFile();
    if (FileExists(own))
        o.settingsFile = own;
    else if (!user.empty() && FileExists(user))
        o.settingsFile = user;
    else
        o.noSettings = true;
    return o;
}

class Watcher {
    // A file a full disk gave back, and when it may be taken again.
    struct Returned {
        std::string name;
        int givenBack;
        Clock::time_point notBefore;
    };

public:
    Watcher(const Options& o, std::ostream& out, std::ostream& err)
        : o_(o), out_(out), err_(err), folder_{trimmed(absolutePath(*o.watch))} {}

    int run() {
        struct stat st {};
        if (::stat(folder_.dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
            return refuse("is not a folder");
        try {
            prepareHotFolder(folder_);
            readSettings();
        } catch (const std::exception& e) {
            return refuse(e.what());
        }
        const int signals = blockedSignals();
        const int events = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        if (events < 0 || ::inotify_add_watch(events, folder_.dir.c_str(),
                                              IN_CLOSE_WRITE | IN_MOVED_TO | IN_CREATE | IN_MODIFY |
                                                  IN_ATTRIB | IN_DELETE | IN_MOVED_FROM) < 0)
            say("the kernel reports nothing of " + shown(folder_.dir) +
                "; it is looked at every settle period");
        wake_ = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
        startWorkers();
        adoptAbandoned();
        rescan();
        Clock::time_point nextScan = Clock::now() + o_.settle;
        while (!finished()) {
            pollfd ready[3] = {{signals, POLLIN, 0}, {wake_, POLLIN, 0}, {events, POLLIN, 0}};
            ::poll(ready, events >= 0 ? 3 : 2, static_cast<int>(kLook.count()));
            if (ready[0].revents & POLLIN) takeSignal(signals);
            if (ready[1].revents & POLLIN) {
                std::uint64_t count;
                [[maybe_unused]] const ssize_t n = ::read(wake_, &count, sizeof count);
            }
            if (events >= 0 && (ready[2].revents & POLLIN)) takeEvents(events);
            if (Clock::now() >= nextScan) {
                rescan();
                nextScan = Clock::now() + o_.settle;
            }
            takeGivenBack();
            claimWhatIsReady();
        }
        stopWorkers();
        ::close(wake_);
        if (events >= 0) ::close(events);
        ::close(signals);
        return 0;
    }

private:
    static std::string trimmed(std::string path) {
        while (path.size() > 1 && path.back() == '/') path.pop_back();
        return path;
    }

    int refuse(const std::string& why) {
        err_ << kProgram << ": --watch " << shown(folder_.dir) << ": " << why << "\n";
        return 1;
    }

    // A message, one line on the error stream.
    void say(const std::string& text) {
        const std::lock_guard lock(outMutex_);
        err_ << kProgram << ": " << oneLine(text) << "\n" << std::flush;
    }

    void readSettings() {
        JobSettings fresh;
        const Options o = withFolderSettings(o_, folder_.dir);
        buildSettings(o, fresh, err_);
        const std::lock_guard lock(settingsMutex_);
        settings_ = fresh;
    }

    // The signals that stop the watcher or have it read its settings, read from a descriptor so
    // that the loop hears them between its steps. The workers start after, with them blocked.
    static int blockedSignals() {
        sigset_t set;
        sigemptyset(&set);
        for (const int s : {SIGTERM, SIGINT, SIGHUP}) sigaddset(&set, s);
        ::pthread_sigmask(SIG_BLOCK, &set, nullptr);
        return ::signalfd(-1, &set, SFD_CLOEXEC | SFD_NONBLOCK);
    }

    void takeSignal(int signals) {
        signalfd_siginfo info{};
        while (::read(signals, &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
            if (info.ssi_signo == SIGHUP) {
                try {
                    readSettings();
                    say("the settings were read again");
                } catch (const std::exception& e) {
                    say(std::string("the settings were not read again: ") + e.what());
                }
                continue;
            }
            if (stopping_) {
                // A second request: what runs is abandoned, and redone at the next start.
                say("stopped; the files being converted are converted again at the next start");
                const std::lock_guard lock(outMutex_);
                out_.flush();
                ::_exit(0);
            }
            stopping_ = true;
            say("stopping: no new file is taken; the running conversions finish");
        }
    }

    void takeEvents(int events) {
        alignas(inotify_event) char buffer[16384];
        for (;;) {
            const ssize_t n = ::read(events, buffer, sizeof buffer);
            if (n <= 0) return;
            for (const char* p = buffer; p < buffer + n;) {
                const auto* event = reinterpret_cast<const inotify_event*>(p);
                p += sizeof(inotify_event) + event->len;
                if (event->len == 0) continue;
                const std::string name = event->name;
                if (!isPrintFile(name)) continue;
                if (event->mask & (IN_DELETE | IN_MOVED_FROM))
                    candidates_.erase(name);
                else
                    look(name);
            }
        }
    }

    // Every print file in the folder, for what the kernel did not report (a network share).
    void rescan() {
        DIR* listing = ::opendir(folder_.dir.c_str());
        if (listing == nullptr) return;
        std::set<std::string> seen;
        while (const dirent* entry = ::readdir(listing))
            if (isPrintFile(entry->d_name)) seen.emplace(entry->d_name);
        ::closedir(listing);
        std::erase_if(candidates_, [&](const auto& c) { return !seen.contains(c.first); });
        for (const std::string& name : seen) look(name);
    }

    // A file as it is now: a change starts its settling again.
    void look(const std::string& name) {
        struct stat st {};
        if (::lstat((folder_.dir + "/" + name).c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
            candidates_.erase(name);
            return;
        }
        Candidate& c = candidates_[name];
        const std::int64_t modified = st.st_mtim.tv_sec * 1'000'000'000LL + st.st_mtim.tv_nsec;
        if (c.size != st.st_size || c.modified != modified) {
            c.size = st.st_size;
            c.modified = modified;
            c.since = Clock::now();
        }
    }

    // Files a full disk gave back wait before they are taken again.
    void takeGivenBack() {
        std::vector<Returned> returned;
        {
            const std::lock_guard lock(givenBackMutex_);
            returned.swap(givenBack_);
        }
        for (const Returned& r : returned) {
            look(r.name);
            if (const auto it = candidates_.find(r.name); it != candidates_.end()) {
                it->second.notBefore = r.notBefore;
                it->second.givenBack = r.givenBack;
            }
        }
    }

    void claimWhatIsReady() {
        if (stopping_) return;
        const Clock::time_point now = Clock::now();
        std::vector<std::string> ready;
        for (auto& [name, c] : candidates_)
            if (now - c.since >= o_.settle && now >= c.notBefore) ready.push_back(name);
        for (const std::string& name : ready) {
            if (inFlight() >= o_.jobs) return;
            look(name);
            const auto it = candidates_.find(name);
            if (it == candidates_.end() || now - it->second.since < o_.settle) continue;
            if (!nobodyWrites(folder_.dir + "/" + name)) continue;
            const int givenBack = it->second.givenBack;
            candidates_.erase(it);
            try {
                if (std::optional<Claim> claim = Claim::take(folder_, name))
                    queue(std::move(*claim), givenBack);
            } catch (const std::exception& e) {
                say(shown(name) + ": " + e.what());
            }
        }
    }

    void adoptAbandoned() {
        std::vector<Claim::Finished> finished;
        std::vector<Claim> claims;
        try {
            claims = Claim::adopt(folder_, finished);
        } catch (const std::exception& e) {
            say(std::string("an abandoned claim could not be taken up: ") + e.what());
        }
        for (const Claim::Finished& f : finished)
            report(f.folder.starts_with("done") ? "done" : "error", f.name, f.folder, nullptr, {});
        for (Claim& claim : claims) queue(std::move(claim), 0);
    }

    // The workers: conversions run on them, as many at once as asked for.
    struct Job {
        Claim claim;
        int givenBack;
    };

    void startWorkers() {
        for (int i = 0; i < o_.jobs; ++i) workers_.emplace_back([this] { work(); });
    }

    void stopWorkers() {
        {
            const std::lock_guard lock(jobsMutex_);
            closing_ = true;
        }
        jobsReady_.notify_all();
        workers_.clear();  // joins
    }

    void queue(Claim claim, int givenBack) {
        {
            const std::lock_guard lock(jobsMutex_);
            jobs_.push_back({std::move(claim), givenBack});
            ++inFlight_;
        }
        jobsReady_.notify_one();
    }

    int inFlight() {
        const std::lock_guard lock(jobsMutex_);
        return inFlight_;
    }

    bool finished() {
        const std::lock_guard lock(jobsMutex_);
        return stopping_ && inFlight_ == 0;
    }

    void work() {
        TerminalPlatform platform;
        for (;;) {
            std::unique_lock lock(jobsMutex_);
            jobsReady_.wait(lock, [&] { return closing_ || !jobs_.empty(); });
            if (jobs_.empty()) return;
            Job job = std::move(jobs_.front());
            jobs_.pop_front();
            lock.unlock();
            convert(job, platform);
            lock.lock();
            --inFlight_;
            // The loop may take the next file at once.
            const std::uint64_t one = 1;
            [[maybe_unused]] const ssize_t n = ::write(wake_, &one, sizeof one);
        }
    }

    void convert(Job& job, Platform& platform) {
        Claim& claim = job.claim;
        JobSettings settings;
        {
            const std::lock_guard lock(settingsMutex_);
            settings = settings_;
        }
        const DropResult r = convertDrop({{claim.input()}, false}, settings, platform);
        const bool converted =
            r.outcome == DropOutcome::Completed && (!r.verification || r.verification->passed);
        std::string message = asLines(r.message);
        if (r.outcome == DropOutcome::Completed && !converted)
            for (const std::string& line : r.verification->lines) {
                if (!message.empty()) message += '\n';
                message.append(line, line.starts_with(' ') ? 1 : 0);
            }
        if (r.system_error == ENOSPC || r.system_error == EDQUOT)
            return giveBack(job, "the disk is full");
        try {
            const std::string folder = claim.publish(converted, message);
            report(converted ? "done" : "error", claim.name(), folder, &r, message);
        } catch (const DiskFull&) {
            giveBack(job, "the disk that done/ and error/ are on is full");
        } catch (const std::exception& e) {
            say(shown(claim.name()) + ": " + e.what() + "; it stays claimed for the next start");
        }
    }

    // The file goes back into the folder, to be converted again once there is room.
    void giveBack(Job& job, const std::string& why) {
        const std::string name = job.claim.name();
        if (!job.claim.giveBack()) {
            say(shown(name) + ": " + why + "; it stays claimed for the next start");
            return;
        }
        // From the settle period, but a second at the least: with a short one the watcher would
        // otherwise copy the file to the full disk again and again without a pause.
        const auto wait = std::min<Clock::duration>(
            kLongestWait, std::max<Clock::duration>(o_.settle, std::chrono::seconds(1)) *
                              (1 << std::min(job.givenBack, 8)));
        say(shown(name) + ": " + why + "; it stays in " + shown(folder_.dir) +
            " to be converted again");
        const std::lock_guard lock(givenBackMutex_);
        givenBack_.push_back({name, job.givenBack + 1, Clock::now() + wait});
    }

    // One line a file: "done: NAME -> done/2", "error: NAME -> error: message", or its JSON.
    void report(const char* how, const std::string& name, const std::string& folder,
                const DropResult* r, const std::string& message) {
        const std::lock_guard lock(outMutex_);
        if (o_.json) {
            out_ << (r ? jsonRecord(name, r, {}, folder) : jsonMovedRecord(name, folder)) << "\n"
                 << std::flush;
            return;
        }
        std::string line =
            std::string(how).append(": ").append(shown(name)).append(" -> ").append(folder);
        if (std::string_view(how) == "error" && !message.empty())
            line.append(": ").append(oneLine(message));
        out_ << line << "\n" << std::flush;
    }

    const Options& o_;
    std::ostream& out_;
    std::ostream& err_;
    const HotFolder folder_;
    std::map<std::string, Candidate> candidates_;
    bool stopping_ = false;

    std::mutex settingsMutex_;
    JobSettings settings_;
    std::mutex outMutex_;

    std::mutex jobsMutex_;
    std::condition_variable jobsReady_;
    std::deque<Job> jobs_;
    int inFlight_ = 0;
    bool closing_ = false;
    std::vector<std::jthread> workers_;
    int wake_ = -1;  // a finished conversion wakes the loop

    std::mutex givenBackMutex_;
    std::vector<Returned> givenBack_;
};

}  // namespace

int runHotFolder(const Options& options, std::ostream& out, std::ostream& err) {
    return Watcher(options, out, err).run();
}

}  // namespace zarn
