// Whole conversions on arbitrary bytes. The first bytes choose the settings; the rest is the
// dropped file. Every run must end in one of the defined outcomes, leave the input as it
// was, and touch no file but the input, the output and the log. A first byte of 0xFF makes
// the rest a settings file, 0xFE a command line (arguments split at NUL bytes): what reads
// outside data besides the dropped file. 0xFD makes the next byte how a stand-in for
// Ghostscript ends and the rest what it prints, to the runner that must find our report in it.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "command_line.h"
#include "ghostscript.h"
#include "zarn/conversion.h"
#include "zarn/option_controls.h"
#include "zarn/settings_file.h"

namespace {

struct SilentPlatform : zarn::Platform {
    bool isDirectory(const std::string&) override { return false; }
    void showMessage(const std::string&, zarn::MessageIcon, const std::string&) override {}
    bool openTextViewer(const std::string&) override { return viewerWorks; }
    bool openImageViewer(const std::string&) override { return viewerWorks; }
    void beep() override {}
    void endProgram() override {}
    bool viewerWorks = true;
};

const char* const kCropTexts[] = {"1.00", "0.95", "0.9", "1.01", "", "abc", "0.90000001", "1e-3"};
const char* const kMarginTexts[] = {"10", "0", "99", "", "5x", "-3", "1e9", "327"};

// Gone at a normal exit; kept after a broken promise, to be looked at.
const std::string& scratchDir() {
    static char made[] = "/tmp/zarn-fuzz-XXXXXX";  // outlives the strings at exit
    static const std::string dir = [] {
        if (::mkdtemp(made) == nullptr) std::abort();
        std::atexit([] {
            std::error_code ignored;
            std::filesystem::remove_all(made, ignored);
        });
        return std::string(made);
    }();
    return dir;
}

std::set<std::string> listDir(const std::string& dir) {
    std::set<std::string> names;
    if (DIR* d = ::opendir(dir.c_str())) {
        while (const dirent* e = ::readdir(d))
            if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0)
                names.insert(e->d_name);
        ::closedir(d);
    }
    return names;
}

std::string slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void check(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "broken promise: %s\n", what);
        std::abort();
    }
}

bool printable(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char ch) { return ch >= 0x20 && ch < 0x7f; });
}

void writeBytes(const std::string& path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// Stand-ins for Ghostscript that print the job they get (it is all they may read besides the
// system) as their messages, SECRET replaced by the secret of their arguments, and then end
// in one of the ways a child ends. Made once, in a folder of their own beside the dropped file.
const std::string& standInDir() {
    static const std::string dir = [] {
        const std::string path = scratchDir() + "/gs";
        if (::mkdir(path.c_str(), 0700) != 0) std::abort();
        const char* const endings[][2] = {
            {"exits", ""}, {"fails", "exit 1\n"}, {"crashes", "kill -SEGV $$\n"}};
        for (const auto& [name, ending] : endings) {
            const std::string script = path + "/" + name;
            writeBytes(script, std::string("#!/bin/sh\n"
                                           "secret=$(printf '%s\\n' \"$@\" | grep -o "
                                           "'zarn-[0-9a-f]*' | head -n 1)\n"
                                           "sed \"s/SECRET/$secret/g\" /dev/fd/3 >&2\n") +
                                   ending);
            if (::chmod(script.c_str(), 0700) != 0) std::abort();
        }
        return path;
    }();
    return dir;
}

std::string withSecret(std::string text, std::string_view secret) {
    for (std::size_t at = 0; (at = text.find("SECRET", at)) != std::string::npos;
         at += secret.size())
        text.replace(at, 6, secret);
    return text;
}

// The parser on its own, line by line under a secret of our choosing: cheap, so most of the
// time goes here rather than into starting a child.
void fuzzReportLines(std::string_view messages) {
    static constexpr std::string_view kSecret = "zarn-0123456789abcdef0123456789abcdef";
    const std::string text = withSecret(std::string(messages), kSecret);
    std::string_view rest = text;
    while (!rest.empty()) {
        const std::string_view line = rest.substr(0, rest.find('\n'));
        rest.remove_prefix(std::min(rest.size(), line.size() + 1));
        const std::string escaped = zarn::escapedLine(line);
        check(printable(escaped) && escaped.size() <= 166, "an escaped line that is not one line");
        check(line.size() > 160 || !printable(line) || escaped == line,
              "a short printable line changed by escaping");
        check(!zarn::parseReport(line, ""), "a report under an empty secret");
        const auto report = zarn::parseReport(line, kSecret);
        if (!report) continue;
        check(line.starts_with(kSecret), "a report without the secret");
        check(report->pages >= 0 && report->deviceCount >= 0 && report->resolutionX > 0 &&
                  report->resolutionY > 0,
              "a report with a negative count or no resolution");
        check(!report->pixels || (report->pixels->llx <= report->pixels->urx &&
                                  report->pixels->lly <= report->pixels->ury),
              "marks whose corners are swapped");
        zarn::inkOf(*report);
    }
}

// The whole runner, with a stand-in for Ghostscript: whatever it prints and however it ends,
// a run is Done with one intact page, or fails in one printable line.
void fuzzGhostscriptMessages(std::uint8_t how, std::string_view messages) {
    using namespace std::chrono_literals;
    fuzzReportLines(messages);
    static const char* const kEndings[] = {"exits", "fails", "crashes", "exits"};
    const std::string path = scratchDir() + "/messages";
    writeBytes(path, messages);
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    check(fd >= 0, "the messages cannot be opened");
    zarn::GhostscriptJob job = zarn::inkJob(fd, messages.size(), (how >> 2) & 1);
    job.limits = {2s, 2s, 256ULL << 20, 16ULL << 20};
    const zarn::GhostscriptRun run =
        zarn::runGhostscript(job, standInDir() + "/" + kEndings[how & 3]);
    ::close(fd);
    ::unlink(path.c_str());
    if (run.status == zarn::GhostscriptStatus::Done) {
        check(run.report.pages == 1 && run.report.deviceCount == 1 && run.report.intact,
              "a run Done without exactly one intact page");
    } else {
        check(!run.detail.empty() && printable(run.detail),
              "a failure not told in one printable line");
    }
}

// Whatever the file says, the record stays within the ranges the window allows.
void fuzzSettingsFile(const std::string& bytes) {
    const std::string path = scratchDir() + "/" + zarn::kSettingsFileName;
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }
    zarn::JobSettings s;
    zarn::HeadlessWindow window(s);
    zarn::applyStartValues(window.controls(), s);
    zarn::readSettingsFile(path, window.controls(), s, [](const zarn::SettingsMessage& m) {
        check(m.text.size() < 1000, "a settings message that repeats a whole long line");
    });
    check(s.marge >= 0 && s.marge <= 99 && s.breedte >= 0 && s.breedte <= 99,
          "a margin out of range");
    check(s.Force_A4 + s.Force_A3 <= 1, "two forced sizes");
    check(s.pageregel == 1 || (s.Force_A4 == 0 && s.Force_A3 == 0), "a forced size in EPS mode");
    ::unlink(path.c_str());
}

// The parser either accepts the arguments or refuses them with a reason.
void fuzzCommandLine(const std::string& bytes) {
    std::vector<std::string> args;
    std::size_t from = 0;
    while (from <= bytes.size() && args.size() < 64) {
        const std::size_t nul = std::min(bytes.find('\0', from), bytes.size());
        args.push_back(bytes.substr(from, nul - from));
        from = nul + 1;
    }
    try {
        const zarn::Options o = zarn::parseCommandLine(args);
        check(o.help || o.version || !o.files.empty(), "no FILE accepted");
    } catch (const zarn::UsageError& e) {
        check(std::string_view(e.what()).size() > 0, "a usage error without a reason");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size >= 1 && (data[0] == 0xFF || data[0] == 0xFE)) {
        const std::string rest(reinterpret_cast<const char*>(data + 1), size - 1);
        data[0] == 0xFF ? fuzzSettingsFile(rest) : fuzzCommandLine(rest);
        return 0;
    }
    // 0xFD, how the stand-in ends and whether the job is EPS, then its messages.
    if (size >= 2 && data[0] == 0xFD) {
        fuzzGhostscriptMessages(
            data[1], std::string_view(reinterpret_cast<const char*>(data + 2), size - 2));
        return 0;
    }
    if (size < 4) return 0;
    const std::uint8_t mode = data[0], colours = data[1], fields = data[2], extra = data[3];
    zarn::JobSettings s;
    s.pageregel = mode & 1;
    s.eps_print = s.pageregel == 0;
    s.Force_A4 = (mode >> 1) & 1;
    s.Force_A3 = (mode >> 2) & 1;
    s.kantel = (mode >> 3) & 1;
    s.LANG = (mode >> 4) & 1 ? "UK" : "NL";
    s.okido = (mode >> 5) & 1;
    s.LogAfdruk = (mode >> 6) & 1;
    for (std::size_t i = 0; i < zarn::kColourBoxCount; ++i) s.colourTicked[i] = (colours >> i) & 1;
    s.Text_crop = kCropTexts[fields & 7];
    s.Text_eind = kMarginTexts[(fields >> 3) & 7];
    s.inkBox = (fields >> 6) & 1;
    s.Text_breed = kMarginTexts[extra & 7];
    SilentPlatform platform;
    platform.viewerWorks = (extra >> 3) & 1;

    const std::string dir = scratchDir();
    const std::string input = dir + "/F.P01";
    const std::string body(reinterpret_cast<const char*>(data + 4), size - 4);
    {
        std::ofstream out(input, std::ios::binary | std::ios::trunc);
        out.write(body.data(), static_cast<std::streamsize>(body.size()));
    }
    zarn::DroppedData drop;
    drop.paths.push_back(input);
    drop.offersRichText = (extra >> 4) & 1 && (extra >> 5) & 1 && (extra >> 6) & 1;
    const zarn::DropResult r = zarn::convertDrop(drop, s, platform);

    check(slurp(input) == body, "the input changed");
    std::set<std::string> allowed{"F.P01", "F_E01.ps", "F_E01.eps", "F_E01_log.TXT", "gs"};
    for (const std::string& name : listDir(dir)) check(allowed.count(name) == 1, "a stray file");
    check(r.outcome != zarn::DropOutcome::ErrorExit || !r.message.empty(),
          "an error without a message");
    for (const char* name : {"F_E01.ps", "F_E01.eps", "F_E01_log.TXT"})
        ::unlink((dir + "/" + name).c_str());
    return 0;
}
